#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A wrong command line: the message says what to write instead.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace datatool {

struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // long names without "--"
    std::set<std::string> flags;                // options without a value given
    bool help = false;

    std::string option(const std::string& name, const std::string& fallback = "") const;
    // A whole non-negative number given to `name`, or `fallback`.
    std::int32_t count(const std::string& name, std::int32_t fallback) const;
};

// Options take a value: "--name value" or "--name=value"; "-o" is "--output".
// Only the names in `known` are accepted, and the `flags`, which take none.
CommandLine parse_command_line(const std::vector<std::string>& args,
                               const std::set<std::string>& known,
                               const std::set<std::string>& flags = {});

} // namespace datatool
