#include "app/driver.h"

#include <cstdint>

#include "app/results_collector.h"
#include "app/simulation.h"
#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "report/report_writer.h"
#include "support/errors.h"

void run_analysis(std::istream& is, std::ostream& report) {
    RunResults discarded;
    run_analysis(is, report, discarded, nullptr);
}

void run_analysis(std::istream& is, std::ostream& report, RunResults& results, Progress* progress) {
    DataFileReader reader(is);
    const RunParameters run = reader.read_run_parameters();
    if (run.n_initial < 0) {
        fatal_input_error("run_analysis : the number of initial conditions must not be negative");
    }
    results.n_samples = run.n_samples;
    results.n_simulated = run.n_simulated;
    results.n_initial = run.n_initial;
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
        SampleResults& described =
            results.samples.emplace_back(collect_sample(pop, sample, n_individuals));
        described.n_simulated = run.n_simulated;
        run_simulation(pop, estimate.ratio(), run.n_simulated, run.n_initial, report, &described,
                       progress);
        described.complete = true;
        report.flush();
    }
}
