#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A refused input: which file, which line (0: the file as a whole) and why.
// Every reader throws it and prints nothing: the entry points decide what the
// user sees.
class InputError : public std::runtime_error {
  public:
    InputError(std::string file, std::int64_t line, const std::string& message);
    const std::string& file() const { return _file; }
    std::int64_t line() const { return _line; }
    const std::string& message() const { return _message; }

  private:
    std::string _file;
    std::int64_t _line;
    std::string _message;
};
