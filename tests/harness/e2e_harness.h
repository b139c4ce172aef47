#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// Runs the built tovaquor program in a fresh temporary directory and collects
// everything it leaves behind.
namespace e2e {

using Env = std::vector<std::pair<std::string, std::string>>;

inline const std::string kBanner = "\n\t\tTovaquor\n\t\t--------\n\n";

struct Run {
    std::vector<std::string> args;
    std::string input = {}; // standard input
    // Name and content of each file; a name ending in '/' makes a directory.
    std::vector<std::pair<std::string, std::string>> files = {};
    Env env = {};                 // extra variables
    std::string report_name = {}; // report file to collect; default: first argument + ".mbr"
    std::string program = {};     // the program to run; default: tovaquor
    std::vector<std::string> collect = {}; // more files to collect, when present
    bool capture_errors = false;           // collect standard error of tovaquor too
};

struct Result {
    int status = -1;     // exit status (255 after a fatal message)
    std::string console; // standard output
    std::string report;  // the report file, empty when absent
    bool has_report = false;
    std::string log; // mirbo.log, empty when absent
    bool has_log = false;
    std::string errors; // standard error, captured when another program runs
    std::map<std::string, std::string> collected; // the files of Run::collect found
    std::vector<std::string> left;                // every file in the directory afterwards, sorted
};

Result run(const Run& what);

// Runs "tovaquor BASE SEED" with `data` as BASE.mbd.
Result run_data(const std::string& base, const std::string& data, const std::string& seed = "2024",
                const Env& env = {});

// Runs "tovaquor-data ARGS..." with `files` in the directory, collecting the
// files named in `collect`.
Result run_data_tool(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> files,
                     std::vector<std::string> collect = {});

// Replaces the computing-time figure of the report and every "done in N ms"
// figure of the log by N.
std::string mask_times(std::string text);

// Content of a file under tests/data, empty when absent.
std::string read_data(const std::string& relative);

// Content of a file under examples/, empty when absent.
std::string read_example(const std::string& name);

// A fresh temporary folder, removed with what it holds (after unmounting a
// file system a test mounted there).
class Folder {
  public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const std::string& path() const { return _path; }
    std::string path(const std::string& name) const { return _path + "/" + name; }
    void put(const std::string& name, const std::string& content) const;
    std::string content(const std::string& name) const;
    // The names of every entry, sorted.
    std::vector<std::string> left() const;

  private:
    std::string _path;
};

// A tab-separated table with a header line, as rows of column name to field.
using Row = std::map<std::string, std::string>;
std::vector<Row> parse_table(const std::string& text);

} // namespace e2e
