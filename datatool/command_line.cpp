#include "datatool/command_line.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace datatool {

std::string CommandLine::option(const std::string& name, const std::string& fallback) const {
    const auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

std::int32_t CommandLine::count(const std::string& name, std::int32_t fallback) const {
    const auto it = options.find(name);
    if (it == options.end()) {
        return fallback;
    }
    const std::string& text = it->second;
    const bool digits =
        !text.empty() && text.size() <= 9 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        throw UsageError("--" + name + " takes a whole number from 0 to 999999999, not \"" + text +
                         "\"");
    }
    return static_cast<std::int32_t>(std::stol(text));
}

CommandLine parse_command_line(const std::vector<std::string>& args,
                               const std::set<std::string>& known,
                               const std::set<std::string>& flags) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h" || arg == "--help") {
            line.help = true;
            continue;
        }
        if (arg == "-o") {
            arg = "--output";
        }
        if (arg.size() < 2 || arg[0] != '-' || arg == "--") {
            line.positional.push_back(arg);
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            throw UsageError("unknown option " + arg);
        }
        std::string name = arg.substr(2);
        std::string value;
        const std::size_t equals = name.find('=');
        if (flags.count(name) != 0) {
            line.flags.insert(name);
            continue;
        }
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (known.count(name) != 0) {
            if (i + 1 >= args.size()) {
                throw UsageError("option --" + name + " needs a value");
            }
            value = args[++i];
        }
        if (known.count(name) == 0) {
            throw UsageError("unknown option --" + name);
        }
        if (line.options.count(name) != 0) {
            throw UsageError("option --" + name + " is given twice");
        }
        line.options[name] = value;
    }
    return line;
}

} // namespace datatool
