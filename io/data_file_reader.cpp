#include "io/data_file_reader.h"

#include <algorithm>

#include "io/input_error.h"
#include "io/record_reader.h"

std::int64_t DataFileReader::LineCounter::line() const {
    if (_counted == nullptr) {
        _counted = eback();
    }
    if (gptr() > _counted) {
        _counted_lines += std::count(_counted, static_cast<const char*>(gptr()), '\n');
        _counted = gptr();
    }
    return _lines_before + _counted_lines;
}

DataFileReader::LineCounter::int_type DataFileReader::LineCounter::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    if (eback() != nullptr) {
        setg(eback(), egptr(), egptr());
        line();
        _lines_before += _counted_lines;
    }
    char* const block = _block.data();
    const std::streamsize got =
        _source == nullptr ? 0 : _source->sgetn(block, static_cast<std::streamsize>(_block.size()));
    setg(block, block, block + std::max<std::streamsize>(got, 0));
    _counted = block;
    _counted_lines = 0;
    return got > 0 ? traits_type::to_int_type(*gptr()) : traits_type::eof();
}

DataFileReader::DataFileReader(std::istream& is, std::string file)
    : _file(std::move(file)), _counting(is.rdbuf()), _is(&_counting) {}

void DataFileReader::refuse(const std::string& message) const {
    throw InputError(_file, current_line(), message);
}

std::int32_t DataFileReader::read_number(const std::string& what) {
    std::int32_t value = 0;
    if (!record_reader::read_int(_is, value)) {
        refuse("run_analysis : expected " + what + " in the data file");
    }
    return value;
}

RunParameters DataFileReader::read_run_parameters() {
    RunParameters run;
    run.n_samples = read_number("the number of samples");
    run.n_simulated = read_number("the number of simulated samples");
    run.n_initial = read_number("the number of initial conditions");
    return run;
}

void DataFileReader::check_run_parameters(const RunParameters& run) const {
    if (run.n_samples < 1) {
        refuse("run_analysis : the number of samples must be at least 1");
    }
    if (run.n_simulated < 0) {
        refuse("run_analysis : the number of simulated samples must not be negative");
    }
    if (run.n_initial < 1) {
        refuse("run_analysis : the number of initial conditions must be at least 1");
    }
}

std::int32_t DataFileReader::read_individual_count(std::int32_t number) {
    return read_number("the individual count of sample " + std::to_string(number));
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
