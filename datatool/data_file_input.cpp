#include "datatool/data_file_input.h"

#include <sstream>

#include "io/data_file_reader.h"
#include "io/sample_checks.h"
#include "support/errors.h"

namespace {

// The reader prints its fatal messages on the console; here they become the
// tool's own message, on standard error.
class QuietConsole {
  public:
    QuietConsole() { set_console(&_sink); }
    ~QuietConsole() { set_console(nullptr); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

  private:
    std::ostringstream _sink;
};

} // namespace

DataFileInput read_data_file(std::istream& is) {
    DataFileReader reader(is);
    DataFileInput input;
    const QuietConsole quiet;
    try {
        input.run = reader.read_run_parameters();
        check_run_parameters(input.run);
        for (std::int32_t k = 0; k < input.run.n_samples; ++k) {
            const std::int32_t announced = reader.read_individual_count(k + 1);
            input.samples.push_back(reader.read_sample(announced));
        }
    } catch (const FatalError& e) {
        input.stop = DataFileError{reader.current_line(), e.what(), ""};
    }
    return input;
}

std::optional<DataFileError> sample_error(const SampleDescription& sample) {
    if (const auto error = first_record_error(sample, true)) {
        return DataFileError{error->line, error->message, error->hint};
    }
    return std::nullopt;
}
