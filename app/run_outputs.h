#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/atomic_output_file.h"

// The files of one run (log, report, tables, page), each written to a
// temporary file beside its target and put in place together at the end, so
// that a run stopped at any moment leaves the previous run's files as they
// were. The report decides: when it cannot be written whole, no file of the
// run replaces anything. Another file that fails is named and, if its
// writing failed, the previous run's file of its name is removed, so that
// it does not stand beside this run's report.
class RunOutputs {
  public:
    // The data file, which no output may replace.
    void protect(const std::string& input) { _inputs.push_back(input); }

    // Null when the file cannot be created (refused or failed): the failure
    // is kept for commit(), and `reason` says why.
    std::ostream* open(const std::string& what, const std::string& name, std::string& reason);
    // The report: throws OutputError when it cannot be created.
    std::ostream& open_report(const std::string& name);

    // Finishes and puts in place every file, naming on `errors` each one that
    // could not be written; false when any could not.
    bool commit(std::ostream& errors);

  private:
    struct Output {
        std::string what; // "report", "log", "table", "page"
        std::string name;
        std::unique_ptr<AtomicOutputFile> file; // null: refused or not created
        std::string failure;
    };
    std::vector<std::string> _inputs;
    std::vector<Output> _outputs;
};
