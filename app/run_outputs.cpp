#include "app/run_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/display_text.h"

std::ostream* RunOutputs::open(const std::string& what, const std::string& name,
                               std::string& reason) {
    Output& output = _outputs.emplace_back(Output{what, name, nullptr, ""});
    try {
        check_output_target(name, _inputs);
        output.file = std::make_unique<AtomicOutputFile>(name);
        return &output.file->stream();
    } catch (const OutputError& e) {
        output.failure = e.reason();
        reason = e.reason();
        return nullptr;
    }
}

std::ostream& RunOutputs::open_report(const std::string& name) {
    check_output_target(name, _inputs);
    auto file = std::make_unique<AtomicOutputFile>(name);
    return _outputs.emplace_back(Output{"report", name, std::move(file), ""}).file->stream();
}

bool RunOutputs::commit(std::ostream& errors) {
    for (Output& output : _outputs) {
        if (output.file && !output.file->finish()) {
            output.failure = output.file->error();
        }
    }
    const bool report_whole = std::none_of(_outputs.begin(), _outputs.end(), [](const Output& o) {
        return o.what == "report" && !o.failure.empty();
    });
    bool all = true;
    {
        const SignalsHeld held; // the renames happen all or, by SIGKILL only, in part
        for (Output& output : _outputs) {
            if (report_whole && output.failure.empty()) {
                try {
                    output.file->commit();
                    continue;
                } catch (const OutputError& e) {
                    output.failure = e.reason();
                }
            }
            const bool written = output.file != nullptr;
            if (written) {
                output.file->discard();
            }
            if (output.failure.empty()) {
                continue; // not put in place because the report failed
            }
            all = false;
            errors << "Unable to write the " << output.what << " "
                   << display_text::for_terminal(output.name) << ": " << output.failure << "\n";
            // A file of the previous run must not stand beside this run's
            // report; a refused target (a directory, a read-only file...) is
            // not this program's to remove.
            struct stat st {};
            if (report_whole && written && ::stat(output.name.c_str(), &st) == 0 &&
                S_ISREG(st.st_mode)) {
                ::unlink(output.name.c_str());
            }
        }
    }
    if (!report_whole) {
        errors << "No file of this run replaced the previous ones.\n";
    }
    _outputs.clear();
    return all;
}
