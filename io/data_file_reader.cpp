#include "io/data_file_reader.h"

#include <algorithm>
#include <iterator>

#include "io/record_reader.h"
#include "support/errors.h"

DataFileReader::DataFileReader(std::istream& is)
    : _text(std::istreambuf_iterator<char>(is), std::istreambuf_iterator<char>()), _is(_text) {}

std::int32_t DataFileReader::read_number(const std::string& what) {
    std::int32_t value = 0;
    if (!record_reader::read_int(_is, value)) {
        fatal_input_error("run_analysis : expected " + what + " in the data file");
    }
    return value;
}

void check_run_parameters(const RunParameters& run) {
    if (run.n_samples < 1) {
        fatal_input_error("run_analysis : the number of samples must be at least 1");
    }
    if (run.n_simulated < 0) {
        fatal_input_error("run_analysis : the number of simulated samples must not be negative");
    }
    if (run.n_initial < 1) {
        fatal_input_error("run_analysis : the number of initial conditions must be at least 1");
    }
}

RunParameters DataFileReader::read_run_parameters() {
    RunParameters run;
    run.n_samples = read_number("the number of samples");
    run.n_simulated = read_number("the number of simulated samples");
    run.n_initial = read_number("the number of initial conditions");
    return run;
}

std::int32_t DataFileReader::read_individual_count(std::int32_t number) {
    return read_number("the individual count of sample " + std::to_string(number));
}

std::int64_t DataFileReader::current_line() {
    // Asked of the buffer: the stream's own position query may set its state.
    const auto pos = _is.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
    const std::size_t at =
        pos < 0 ? _text.size() : std::min(_text.size(), static_cast<std::size_t>(pos));
    if (at > _counted_to) {
        _line += std::count(_text.begin() + static_cast<std::ptrdiff_t>(_counted_to),
                            _text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
        _counted_to = at;
    }
    return _line;
}

SampleDescription DataFileReader::read_sample(std::int32_t announced) {
    using namespace record_reader;
    SampleDescription sample;
    sample.announced = announced;
    sample.name = read_rest_of_line(_is);
    for (std::int32_t i = 0; i < announced; ++i) {
        if (_is.fail()) {
            break;
        }
        SampleRecord record;
        _is >> std::ws;
        record.line = current_line();
        record.id = read_token(_is);
        record.parent1 = read_token(_is);
        record.parent2 = read_rest_of_line(_is);
        if (record.parent2.empty()) {
            break;
        }
        record.allele_lines[0] = read_rest_of_line(_is);
        record.allele_lines[1] = read_rest_of_line(_is);
        sample.records.push_back(std::move(record));
    }
    return sample;
}
