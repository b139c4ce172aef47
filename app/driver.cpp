#include "app/driver.h"

#include <cstdint>

#include "app/simulation.h"
#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "report/report_writer.h"
#include "support/errors.h"

void run_analysis(std::istream& is, std::ostream& report) {
    DataFileReader reader(is);
    const RunParameters run = reader.read_run_parameters();
    if (run.n_initial < 0) {
        fatal_input_error("run_analysis : the number of initial conditions must not be negative");
    }
    ReportWriter writer(report);
    for (std::int32_t k = 0; k < run.n_samples; ++k) {
        const std::int32_t n_individuals = reader.read_individual_count(k + 1);
        const SampleDescription sample = reader.read_sample(n_individuals);
        TPopPedigree pop("Brand new pop");
        pop.analyse(sample, run.n_initial);
        const EstimateLine estimate{pop.PedDB._ln_likelihood, pop.EquilLnLHood,
                                    pop.PedDB._n_maxima};
        writer.sample_header(pop.Name, n_individuals, run.n_initial);
        writer.estimate_table(estimate);
        writer.allele_database(pop.AlleleDB);
        writer.haplotype_database(pop.HaplDB, ReportWriter::kListedFrequency);
        report.flush();
        run_simulation(pop, estimate.ratio(), run.n_simulated, run.n_initial, report);
        report.flush();
    }
}
