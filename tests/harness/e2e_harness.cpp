#include "tests/harness/e2e_harness.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <algorithm>
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
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream os(path, std::ios::binary);
    os << content;
}

std::string read_file(const fs::path& path) {
    std::ifstream is(path, std::ios::binary);
    std::ostringstream ss;
    ss << is.rdbuf();
    return ss.str();
}

} // namespace

Folder::Folder() {
    std::string templ = (fs::temp_directory_path() / "tovaquor-folder-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    _path = templ;
}

Folder::~Folder() {
    ::umount(_path.c_str());
    std::error_code ignored;
    fs::remove_all(_path, ignored);
}

void Folder::put(const std::string& name, const std::string& content) const {
    write_file(path(name), content);
}

std::string Folder::content(const std::string& name) const {
    return read_file(path(name));
}

std::vector<std::string> Folder::left() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_data(const std::string& relative) {
    return read_file(fs::path(TOVAQUOR_TEST_DATA) / relative);
}

std::string read_example(const std::string& name) {
    return read_file(fs::path(TOVAQUOR_EXAMPLES) / name);
}

std::vector<Row> parse_table(const std::string& text) {
    // As tab-separated readers do: a field that opens with a double quote
    // runs to the lone closing one, holding tabs and line breaks, with ""
    // standing for one quote.
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == '\t' || c == '\n') {
            records.back().push_back(field);
            field.clear();
            if (c == '\n') {
                records.emplace_back();
            }
        } else {
            field += c;
        }
    }
    EXPECT_FALSE(quoted) << "unterminated quoted field";
    if (!field.empty() || !records.back().empty()) {
        records.back().push_back(field);
    } else {
        records.pop_back();
    }
    std::vector<Row> rows;
    for (std::size_t r = 1; r < records.size(); ++r) {
        EXPECT_EQ(records[0].size(), records[r].size()) << "row " << r;
        Row& row = rows.emplace_back();
        for (std::size_t i = 0; i < records[0].size() && i < records[r].size(); ++i) {
            row[records[0][i]] = records[r][i];
        }
    }
    return rows;
}

Result run(const Run& what) {
    std::string templ = (fs::temp_directory_path() / "tovaquor-e2e-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    const fs::path dir = templ;
    for (const auto& [name, content] : what.files) {
        if (name.ends_with('/')) {
            fs::create_directory(dir / name);
        } else {
            write_file(dir / name, content);
        }
    }
    write_file(dir / ".stdin", what.input);
    std::ostringstream command;
    command << "cd " << quote(dir.string()) << " && env";
    for (const auto& [name, value] : what.env) {
        command << ' ' << quote(name) << '=' << quote(value);
    }
    const bool tool = !what.program.empty();
    command << ' ' << quote(tool ? what.program : TOVAQUOR_BINARY);
    for (const auto& arg : what.args) {
        command << ' ' << quote(arg);
    }
    command << " < .stdin > .stdout"; // standard error passes through to the test's
    if (tool || what.capture_errors) {
        command << " 2> .stderr";
    }
    const int raw = std::system(command.str().c_str());

    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.console = read_file(dir / ".stdout");
    const auto collect = [&dir](const std::string& name, std::string& text) {
        const bool found = !name.empty() && fs::exists(dir / name);
        text = found ? read_file(dir / name) : "";
        return found;
    };
    const bool default_report = what.report_name.empty() && !what.args.empty();
    result.has_report =
        collect(default_report ? what.args[0] + ".mbr" : what.report_name, result.report);
    result.has_log = collect("mirbo.log", result.log);
    if (tool || what.capture_errors) {
        result.errors = read_file(dir / ".stderr");
    }
    for (const std::string& name : what.collect) {
        std::string text;
        if (collect(name, text)) {
            result.collected[name] = text;
        }
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != ".stdin" && name != ".stdout" && name != ".stderr") {
            result.left.push_back(name);
        }
    }
    std::sort(result.left.begin(), result.left.end());
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}

Result run_data(const std::string& base, const std::string& data, const std::string& seed,
                const Env& env) {
    return run({{base, seed}, "", {{base + ".mbd", data}}, env});
}

Result run_data_tool(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> files,
                     std::vector<std::string> collect) {
    Run what{std::move(args), "", std::move(files)};
    what.report_name = "-";
    what.program = TOVAQUOR_DATA_BINARY;
    what.collect = std::move(collect);
    return run(what);
}

std::string mask_times(std::string text) {
    static const std::regex total("Total computing time : [0-9]+ ms");
    static const std::regex done("done in [0-9]+ ms");
    text = std::regex_replace(text, total, "Total computing time : N ms");
    return std::regex_replace(text, done, "done in N ms");
}

} // namespace e2e
