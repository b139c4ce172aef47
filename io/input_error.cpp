#include "io/input_error.h"

InputError::InputError(std::string file, std::int64_t line, const std::string& message)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message),
      _file(std::move(file)), _line(line), _message(message) {}
