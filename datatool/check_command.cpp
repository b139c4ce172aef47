#include "datatool/check_command.h"

#include <fstream>

#include "datatool/command_line.h"
#include "datatool/usage.h"
#include "io/genotype_table.h"
#include "support/errors.h"

CheckedFile check_data_file(const std::string& path) {
    std::ifstream is(path, std::ios::binary);
    if (!is) {
        throw InputError(path, 0, "cannot open the file");
    }
    CheckedFile file;
    file.input = read_data_file(is, path);
    // Sample by sample, as the analysis reads one and analyses it before the next.
    for (const SampleDescription& sample : file.input.samples) {
        if (const auto error = sample_error(sample, path)) {
            throw *error;
        }
        try {
            file.samples.push_back(check_sample(sample));
        } catch (const FatalError& e) {
            throw InputError(path, 0, e.what());
        }
    }
    if (file.input.stop) {
        throw *file.input.stop;
    }
    return file;
}

int run_check(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const datatool::CommandLine line = datatool::parse_command_line(args, {});
    if (line.help) {
        out << kCheckUsage;
        return 0;
    }
    if (line.positional.size() != 1) {
        throw UsageError("check takes one data file");
    }
    const std::string& path = line.positional[0];
    const CheckedFile file = check_data_file(path);
    out << "File " << path << ": " << file.input.run.n_samples
        << (file.input.run.n_samples == 1 ? " sample, " : " samples, ")
        << file.input.run.n_simulated << " simulated samples per sample, "
        << file.input.run.n_initial << " initial conditions\n";
    std::size_t incompatible = 0;
    std::size_t individuals = 0;
    for (std::size_t k = 0; k < file.samples.size(); ++k) {
        print_sample_check(out, file.samples[k], k + 1);
        incompatible += file.samples[k].incompatible.size();
        individuals += file.samples[k].individuals;
    }
    out << "Total: " << individuals << " individuals, ";
    if (incompatible == 0) {
        out << "no incompatible family\n";
        return 0;
    }
    out << incompatible << (incompatible == 1 ? " incompatible family" : " incompatible families")
        << ": the analysis finds no estimate for a sample that holds one (tovaquor-data clean "
           "removes them)\n";
    return 2;
}
