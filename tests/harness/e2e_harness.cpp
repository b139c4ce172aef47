#include "tests/harness/e2e_harness.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& s) {
    std::ostringstream out;
    out << '\'';
    for (char c : s) {
        if (c == '\'') {
            out << "'\\''";
        } else {
            out << c;
        }
    }
    out << '\'';
    return out.str();
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream os(path, std::ios::binary);
    os << content;
}

} // namespace

std::string read_file(const std::string& path) {
    std::ifstream is(path, std::ios::binary);
    std::ostringstream ss;
    ss << is.rdbuf();
    return ss.str();
}

std::string data_path(const std::string& relative) {
    return std::string(TOVAQUOR_TEST_DATA) + "/" + relative;
}

Result run(const Run& what) {
    std::string templ = (fs::temp_directory_path() / "tovaquor-e2e-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    const fs::path dir = templ;
    for (const auto& [name, content] : what.files) {
        write_file(dir / name, content);
    }
    write_file(dir / ".stdin", what.input);
    std::ostringstream command;
    command << "cd " << quote(dir.string()) << " && env";
    for (const auto& [name, value] : what.env) {
        command << ' ' << quote(name) << '=' << quote(value);
    }
    command << ' ' << quote(TOVAQUOR_BINARY);
    for (const auto& arg : what.args) {
        command << ' ' << quote(arg);
    }
    command << " < .stdin > .stdout 2> .stderr";
    const int raw = std::system(command.str().c_str());

    Result result;
    result.dir = dir.string();
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.console = read_file((dir / ".stdout").string());
    result.errors = read_file((dir / ".stderr").string());
    std::string report_name = what.report_name;
    if (report_name.empty() && !what.args.empty()) {
        report_name = what.args[0] + ".mbr";
    }
    if (!report_name.empty() && fs::exists(dir / report_name)) {
        result.has_report = true;
        result.report = read_file((dir / report_name).string());
    }
    if (fs::exists(dir / "mirbo.log")) {
        result.has_log = true;
        result.log = read_file((dir / "mirbo.log").string());
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}

std::string mask_times(std::string text) {
    static const std::regex total("Total computing time : [0-9]+ ms");
    static const std::regex done("done in [0-9]+ ms");
    text = std::regex_replace(text, total, "Total computing time : N ms");
    return std::regex_replace(text, done, "done in N ms");
}

} // namespace e2e
