#pragma once

#include <string>
#include <utility>
#include <vector>

// Runs the built tovaquor program in a fresh temporary directory and collects
// everything it leaves behind.
namespace e2e {

struct Run {
    std::vector<std::string> args;
    std::string input;                                      // standard input
    std::vector<std::pair<std::string, std::string>> files; // name, content
    std::vector<std::pair<std::string, std::string>> env;   // extra variables
    std::string report_name; // report file to collect; default: first argument + ".mbr"
};

struct Result {
    int status = -1;     // exit status (255 after a fatal message)
    std::string console; // standard output
    std::string errors;  // standard error
    std::string report;  // the report file, empty when absent
    bool has_report = false;
    std::string log; // mirbo.log, empty when absent
    bool has_log = false;
    std::string dir; // the directory the program ran in (removed afterwards)
};

Result run(const Run& what);

// Replaces the computing-time figure of the report and every "done in N ms"
// figure of the log by N.
std::string mask_times(std::string text);

std::string read_file(const std::string& path);

// Path of a file under tests/data.
std::string data_path(const std::string& relative);

} // namespace e2e
