#include "io/mbd_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

void write_mbd(std::ostream& os, const DataFileContent& content) {
    os << content.samples.size() << " " << content.n_simulated << " " << content.n_initial << "\n";
    for (const SampleDescription& sample : content.samples) {
        os << sample.records.size() << "\n" << sample.name << "\n";
        for (const SampleRecord& r : sample.records) {
            os << r.id << " " << r.parent1 << " " << r.parent2 << "\n"
               << r.allele_lines[0] << "\n"
               << r.allele_lines[1] << "\n";
        }
    }
}

void save_mbd(const std::string& path, const DataFileContent& content) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path temporary = target.parent_path() / ("." + target.filename().string() + ".part-" +
                                                       std::to_string(::getpid()));
    {
        std::ofstream os(temporary, std::ios::binary | std::ios::trunc);
        if (!os) {
            throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
        }
        write_mbd(os, content);
        os.flush();
        if (!os) {
            os.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw std::runtime_error("cannot write " + path);
        }
    }
    std::error_code failed;
    fs::rename(temporary, target, failed);
    if (failed) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error("cannot write " + path + ": " + failed.message());
    }
}
