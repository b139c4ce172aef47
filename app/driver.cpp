#include "app/driver.h"

#include <cstdint>
#include <iomanip>
#include <string>

#include "app/simulation_test.h"
#include "pedigree/record_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/threads.h"

namespace {

std::int32_t read_parameter(std::istream& is, const std::string& what) {
    std::int32_t value = 0;
    if (!record_reader::read_int(is, value)) {
        fatal_input_error("run_analysis : expected " + what + " in the data file");
    }
    return value;
}

void write_sample_report(std::ostream& report, TPopPedigree& pop, std::int32_t n_individuals,
                         std::int32_t n_initial) {
    report << "\n"
           << std::string(69, '=') << "\nSample " << pop.Name << "  (" << n_individuals
           << " individuals in sample)"
           << "\n==============\n"
           << "\n"
           << std::string(44, '=') << "\nEstimation of maximum-likelihood frequencies"
           << "\n(" << n_initial << " random initial conditions were used)"
           << "\n"
           << std::string(44, '=') << "\n\n";
    report.setf(std::ios::fixed, std::ios::floatfield);
    report.setf(std::ios::showpoint);
    report.setf(std::ios::right, std::ios::adjustfield);
    report << std::setw(15) << "Samp. logLHood" << std::setw(20) << "Equil. logLHood"
           << std::setw(18) << "LHood ratio" << std::setw(12) << "# maxima"
           << "\n";
    const double sample_ln_l = pop.PedDB._ln_likelihood;
    report << std::setw(15) << std::setprecision(8) << sample_ln_l << std::setw(20)
           << pop.EquilLnLHood << std::setw(18) << 2.0 * (sample_ln_l - pop.EquilLnLHood)
           << std::setw(9) << pop.PedDB._n_maxima << "\n";
    report << pop.AlleleDB;
    pop.HaplDB.print(report, 0, static_cast<double>(1.0e-5F));
    report.flush();
}

} // namespace

void run_analysis(std::istream& is, std::ostream& report) {
    const std::int32_t n_samples = read_parameter(is, "the number of samples");
    const std::int32_t n_simulated = read_parameter(is, "the number of simulated samples");
    std::int32_t n_initial = read_parameter(is, "the number of initial conditions");
    if (n_initial < 0) {
        fatal_input_error("run_analysis : the number of initial conditions must not be negative");
    }
    for (std::int32_t k = 0; k < n_samples; ++k) {
        std::int32_t n_individuals =
            read_parameter(is, "the individual count of sample " + std::to_string(k + 1));
        TPopPedigree pop("Brand new pop");
        {
            // The observed sample's EM runs its initial conditions side by side.
            RestartThreads restarts(worker_threads());
            pop.analyse(n_initial, is, n_individuals, report, report, 0);
        }
        write_sample_report(report, pop, n_individuals, n_initial);
        const double observed_ratio = 2.0 * (pop.PedDB._ln_likelihood - pop.EquilLnLHood);
        run_simulation_test(pop, observed_ratio, n_simulated, n_initial, n_individuals, report);
        report.flush();
    }
}
