#include "app/simulation_test.h"

#include <iomanip>
#include <sstream>
#include <string>

#include "population/pop_pedigree.h"

namespace {
// The greatest finite single-precision value: an equilibrium log-likelihood
// below it marks a valid simulated sample.
constexpr double kFloatMax = 3.4028234663852886e+38;

void set_table_format(std::ostream& report) {
    report.setf(std::ios::fixed, std::ios::floatfield);
    report.setf(std::ios::showpoint);
    report.setf(std::ios::right, std::ios::adjustfield);
}
} // namespace

void SimulationTally::add(double equilibrium_ln_l, double ratio, double observed_ratio) {
    if (equilibrium_ln_l < kFloatMax) {
        ++valid;
        if (ratio >= observed_ratio) {
            tail += 1.0;
        }
    }
}

void write_simulation_row(std::ostream& report, std::int32_t row, double sample_ln_l,
                          double equilibrium_ln_l, std::int32_t n_maxima) {
    set_table_format(report);
    report << std::setw(6) << row << std::setw(20) << std::setprecision(8) << sample_ln_l
           << std::setw(20) << equilibrium_ln_l << std::setw(18)
           << 2.0 * (sample_ln_l - equilibrium_ln_l) << std::setw(9) << n_maxima << "\n";
}

void write_p_value(std::ostream& report, const SimulationTally& tally, std::int32_t n_simulated) {
    report << "\n"
           << std::string(45, '-') << "\nLinkage and Hardy-Weinberg equilbrium P-value"
           << "\n"
           << std::string(45, '-');
    if (tally.valid == 0) {
        report << "No valid case out of " << n_simulated << "\n";
        return;
    }
    set_table_format(report);
    report << "\n\nP(Rand. logLhood ratio >= Obs. logLhood ratio) = " << std::setw(12)
           << std::setprecision(5) << tally.tail / tally.valid << "\n(" << tally.valid
           << " valid cases out of " << n_simulated << ")\n"
           << "\n";
}

void run_simulation_test(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                         std::int32_t n_initial, std::int32_t n_individuals, std::ostream& report) {
    report << "\n"
           << std::string(53, '=') << "\n"
           << "Simulation of random samples in linkage equilibrium\n"
           << "having same allele frequencies as the original sample"
           << "\n"
           << std::string(53, '=') << "\n"
           << "\nSimulation of " << n_simulated << " random samples\n"
           << "Estimation of haplotype frequencies from " << n_initial
           << " random initial conditions\n\n";
    report.setf(std::ios::right, std::ios::adjustfield);
    report << std::setprecision(8);
    report << std::setw(6) << "#" << std::setw(20) << "Samp. logLHood" << std::setw(20)
           << "Equil. logLHood" << std::setw(18) << "LHood ratio" << std::setw(12) << "# maxima"
           << "\n";
    SimulationTally tally;
    for (std::int32_t i = 0; i < n_simulated; ++i) {
        observed.draw_random_sample();
        std::stringstream text;
        observed.print_random_sample(text);
        TPopPedigree simulated("Brand new pop");
        std::int32_t initial = n_initial;
        std::int32_t individuals = n_individuals;
        simulated.analyse(initial, text, individuals, report, report, 0);
        const double s = simulated.PedDB._ln_likelihood;
        const double e = simulated.EquilLnLHood;
        write_simulation_row(report, i + 1, s, e, simulated.PedDB._n_maxima);
        tally.add(e, 2.0 * (s - e), observed_ratio);
    }
    if (n_simulated != 0) {
        write_p_value(report, tally, n_simulated);
    }
    report.flush();
}
