#pragma once

#include <cstdint>
#include <ostream>
#include <string>

class TAlleleDB;
class TPopHaploDB;

// The numbers of one estimation that the report prints.
struct EstimateLine {
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::int32_t n_maxima = 0;

    double ratio() const { return 2.0 * (sample_ln_l - equilibrium_ln_l); }
};

// Every block of the report file, in the layout users and their scripts read.
// Each block sets the stream format it needs; none relies on what an earlier
// one left, but some leave the format that the blocks after them expect.
class ReportWriter {
  public:
    // The haplotype rows printed: frequencies above this single-precision value.
    static constexpr double kListedFrequency = static_cast<double>(1.0e-5F);

    explicit ReportWriter(std::ostream& os) : _os(os) {}

    // The sample and estimation headers, then the log-likelihood table.
    void sample_header(const std::string& name, std::int32_t n_individuals, std::int32_t n_initial);
    void estimate_table(const EstimateLine& estimate);
    // In place of the table and the databases of a sample whose likelihood is zero.
    void no_estimate();
    void allele_database(const TAlleleDB& db);
    void haplotype_database(const TPopHaploDB& db, double min_freq);

    void simulation_header(std::int32_t n_simulated, std::int32_t n_initial);
    void simulation_row(std::int32_t row, const EstimateLine& estimate);
    // `tail` simulated ratios at least the observed one among `valid` samples.
    void p_value(double tail, std::int32_t valid, std::int32_t n_simulated);
    // In place of the simulation section, saying why.
    void simulation_not_run(const std::string& reason);

    void computing_time(std::int32_t milliseconds);
    // Ends a report whose run could not finish its simulation test.
    void run_stopped(std::int32_t next_row, const std::string& reason);

  private:
    std::ostream& _os;
};
