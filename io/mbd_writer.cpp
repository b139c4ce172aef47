#include "io/mbd_writer.h"

#include "support/atomic_output_file.h"

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

void save_mbd(const std::string& path, const DataFileContent& content,
              const std::vector<std::string>& inputs) {
    check_output_target(path, inputs);
    AtomicOutputFile file(path);
    write_mbd(file.stream(), content);
    file.commit();
}
