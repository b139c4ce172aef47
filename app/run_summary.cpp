#include "app/run_summary.h"

#include <optional>

#include "report/number_format.h"
#include "report/tables.h"
#include "support/display_text.h"

std::string sample_summary_line(const SampleResults& sample) {
    std::string line = "Sample " + sample.name + ": ";
    if (!sample.estimated) {
        return line + "no estimate, the likelihood is zero (see mirbo.log)";
    }
    const std::optional<SampleLd> ld_table = sample_ld(sample);
    const SampleTest test = sample_test(sample, ld_table);
    line += "ratio " + fixed(sample.ratio(), 8);
    if (test.simulated) {
        line += ", P = " + fixed(test.report_p, 5) + " (" + std::to_string(sample.tail) + " of " +
                std::to_string(sample.valid) +
                " simulated), Monte Carlo P = " + fixed(test.monte_carlo_p, 5) +
                " (95 % interval " + fixed(test.interval.lower, 5) + " to " +
                fixed(test.interval.upper, 5) + ")";
    } else {
        line += ", no simulated P-value (" + tables::test_text(sample) + ")";
    }
    if (test.df > 0) {
        line += ", chi-square P = " + fixed(test.chi_square_p, 5) + " (" + std::to_string(test.df) +
                " df)";
    }
    return line;
}

void write_run_summary(std::ostream& os, const RunResults& run,
                       const std::vector<std::pair<std::string, std::string>>& files) {
    if (!run.model.empty()) {
        os << "Model: " << run.model << "\n";
    }
    for (const SampleResults& sample : run.samples) {
        os << display_text::for_terminal(sample_summary_line(sample)) << "\n";
        if (sample.estimated && sample.best_maximum_starts == 1) {
            os << "Sample " << display_text::for_terminal(sample.name)
               << ": only one initial condition reached the best maximum; run again with more "
                  "initial conditions to trust it\n";
        }
        if (sample.phases_missing) {
            os << "Sample " << display_text::for_terminal(sample.name)
               << ": no phases, its families are too large to list within the memory limit "
                  "(TOVAQUOR_MAX_MEMORY_MB sets it)\n";
        }
    }
    for (const auto& [what, name] : files) {
        os << what << ": " << display_text::for_terminal(name) << "\n";
    }
    os.flush();
}
