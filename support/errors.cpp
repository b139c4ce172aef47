#include "support/errors.h"

#include <cstdlib>
#include <iomanip>
#include <iostream>

Errors error_log;
const char* log_file_name = "mirbo.log";
std::ostream* log_stream = nullptr;

void Errors::open(const char* file_name) {
    file.open(file_name, std::ios::out | std::ios::trunc);
    opened = 1;
}

std::ostream* Errors::redirect(std::ostream* target) {
    std::ostream* previous = out;
    out = target;
    return previous;
}

void Errors::report(const std::string& text, int level) {
    if (opened == 0) {
        return;
    }
    const bool repeated = (text == count.previous) && level != kWarning;
    count.previous = text;
    std::ostream& os = *out;
    os << std::setfill('*') << std::setw(4) << count.message++;
    switch (level) {
    case kWarning:
        os << "::WARNING[" << count.warning++ << "]";
        break;
    case kContinuation:
        os << "\t...";
        break;
    case kInfo:
        os << "::INFO :";
        break;
    case kFatal:
        break;
    default:
        os << "::ERROR[" << count.error++ << "]";
        break;
    }
    if (!repeated) {
        os << text;
    }
    os << std::endl;
    if (level == kFatal) {
        std::cout.flush();
        if (fatal_flush != nullptr) {
            fatal_flush->flush();
        }
        std::exit(-1);
    }
}

void fatal_input_error(const std::string& text) {
    std::cout << text << "\n";
    std::cout.flush();
    error_log.report(text, Errors::kFatal);
    // A log that was never opened does not stop the program; an input error must.
    std::exit(-1);
}
