#include "datatool/data_file_input.h"

#include "io/data_file_reader.h"
#include "io/sample_checks.h"

DataFileInput read_data_file(std::istream& is, const std::string& file) {
    DataFileReader reader(is, file);
    DataFileInput input;
    try {
        input.run = reader.read_run_parameters();
        reader.check_run_parameters(input.run);
        for (std::int32_t k = 0; k < input.run.n_samples; ++k) {
            const std::int32_t announced = reader.read_individual_count(k + 1);
            input.samples.push_back(reader.read_sample(announced));
        }
    } catch (const InputError& e) {
        input.stop = e;
    }
    return input;
}

std::optional<InputError> sample_error(const SampleDescription& sample, const std::string& file) {
    if (const auto error = first_record_error(sample, true)) {
        return InputError(file, error->line,
                          error->message + (error->hint.empty() ? "" : "\n" + error->hint));
    }
    return std::nullopt;
}
