#include "report/report_writer.h"

#include <algorithm>
#include <iomanip>
#include <new>
#include <vector>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "support/errors.h"

namespace {

// Columns of the log-likelihood tables: the observed sample's and the
// simulated samples' rows share the widths after the first column.
constexpr int kSampleLnLWidth = 15;
constexpr int kRowNumberWidth = 6;
constexpr int kLnLWidth = 20;
constexpr int kRatioWidth = 18;
constexpr int kMaximaHeaderWidth = 12;
constexpr int kMaximaWidth = 9;
constexpr int kLnLPrecision = 8;

// Columns of the allele and haplotype listings.
constexpr int kIndexWidth = 5;
constexpr int kAlleleFrequencyWidth = 12;
constexpr int kHaplotypeFrequencyWidth = 10;
constexpr int kThresholdPrecision = 7;
constexpr int kFrequencyPrecision = 5;
constexpr int kPValueWidth = 12;

void fixed_right(std::ostream& os) {
    os.setf(std::ios::fixed, std::ios::floatfield);
    os.setf(std::ios::showpoint);
    os.setf(std::ios::right, std::ios::adjustfield);
}

std::string rule(std::size_t width, char c) {
    return std::string(width, c);
}

// The column an allele name takes: its locus's longest name and a blank.
int name_width(const TLocus& locus) {
    std::size_t longest = 0;
    for (std::int32_t j = 0; j < locus.size(); ++j) {
        longest = std::max(longest, locus.allele(j)->_name.size());
    }
    return static_cast<int>(longest) + 1;
}

} // namespace

void ReportWriter::sample_header(const std::string& name, std::int32_t n_individuals,
                                 std::int32_t n_initial) {
    _os << "\n"
        << rule(69, '=') << "\nSample " << name << "  (" << n_individuals
        << " individuals in sample)"
        << "\n==============\n"
        << "\n"
        << rule(44, '=') << "\nEstimation of maximum-likelihood frequencies"
        << "\n(" << n_initial << " random initial conditions were used)"
        << "\n"
        << rule(44, '=') << "\n\n";
}

void ReportWriter::estimate_table(const EstimateLine& estimate) {
    fixed_right(_os);
    _os << std::setw(kSampleLnLWidth) << "Samp. logLHood" << std::setw(kLnLWidth)
        << "Equil. logLHood" << std::setw(kRatioWidth) << "LHood ratio"
        << std::setw(kMaximaHeaderWidth) << "# maxima"
        << "\n";
    _os << std::setw(kSampleLnLWidth) << std::setprecision(kLnLPrecision) << estimate.sample_ln_l
        << std::setw(kLnLWidth) << estimate.equilibrium_ln_l << std::setw(kRatioWidth)
        << estimate.ratio() << std::setw(kMaximaWidth) << estimate.n_maxima << "\n";
}

void ReportWriter::no_estimate() {
    _os << "No estimate: the likelihood of the sample is zero.\n"
           "Families that Mendelian inheritance cannot explain are the usual cause: see the "
           "warnings in mirbo.log.\n";
}

void ReportWriter::allele_database(const TAlleleDB& db) {
    _os << "\n" << rule(23, '-') << "\nAllele database content\n" << rule(23, '-') << "\n\n";
    for (std::int32_t k = 0; k < db.n_loci(); ++k) {
        const TLocus& l = db.locus(k);
        const int width = name_width(l);
        _os << "Locus " << (k + 1) << " : \n\n";
        for (std::int32_t j = 0; j < l.size(); ++j) {
            fixed_right(_os);
            _os << std::setw(kIndexWidth) << (j + 1) << " " << std::setw(width)
                << l.allele(j)->_name << std::setw(kAlleleFrequencyWidth)
                << std::setprecision(kFrequencyPrecision) << static_cast<double>(l.allele(j)->_freq)
                << "\n";
        }
        _os << "\n";
    }
}

void ReportWriter::haplotype_database(const TPopHaploDB& db, double min_freq) {
    std::vector<const TPopHaplotype*> sorted;
    try {
        sorted.reserve(static_cast<std::size_t>(db.size()));
        for (std::int32_t i = 0; i < db.size(); ++i) {
            sorted.push_back(db[i]);
        }
        // Stable: equal entries keep their database order.
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const TPopHaplotype* a, const TPopHaplotype* b) { return *a < *b; });
    } catch (const std::bad_alloc&) {
        error_log.report("Error in sorting Haplotype Data Base", Errors::kFatal);
    }
    _os << "\n"
        << rule(26, '-') << "\nHaplotype database content (" << db.size()
        << " possible haplotypes)\n"
        << rule(26, '-') << "\n\n"
        << "Minimum frequency to reach for output : ";
    fixed_right(_os);
    _os << std::setw(kHaplotypeFrequencyWidth) << std::setprecision(kThresholdPrecision) << min_freq
        << "\n"
        << "\n";
    _os << std::setw(kIndexWidth) << "#" << std::setw(kIndexWidth) << "No."
        << std::setw(kHaplotypeFrequencyWidth) << "Freq."
        << "\n";
    std::int32_t row = 0;
    double sum = 0.0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const TPopHaplotype& h = *sorted[i];
        sum += h._freq;
        if (h._freq > min_freq) {
            ++row;
            _os << std::setw(kIndexWidth) << row << std::setw(kIndexWidth) << i
                << std::setw(kHaplotypeFrequencyWidth) << std::setprecision(kFrequencyPrecision)
                << h._freq << std::setw(kIndexWidth) << " " << h << "\n";
        }
    }
    _os << "\n Sum of listed haplotype frequencies = " << sum << "\n";
}

void ReportWriter::simulation_header(std::int32_t n_simulated, std::int32_t n_initial) {
    _os << "\n"
        << rule(53, '=') << "\n"
        << "Simulation of random samples in linkage equilibrium\n"
        << "having same allele frequencies as the original sample"
        << "\n"
        << rule(53, '=') << "\n"
        << "\nSimulation of " << n_simulated << " random samples\n"
        << "Estimation of haplotype frequencies from " << n_initial
        << " random initial conditions\n\n";
    _os.setf(std::ios::right, std::ios::adjustfield);
    _os << std::setprecision(kLnLPrecision);
    _os << std::setw(kRowNumberWidth) << "#" << std::setw(kLnLWidth) << "Samp. logLHood"
        << std::setw(kLnLWidth) << "Equil. logLHood" << std::setw(kRatioWidth) << "LHood ratio"
        << std::setw(kMaximaHeaderWidth) << "# maxima"
        << "\n";
}

void ReportWriter::simulation_row(std::int32_t row, const EstimateLine& estimate) {
    fixed_right(_os);
    _os << std::setw(kRowNumberWidth) << row << std::setw(kLnLWidth)
        << std::setprecision(kLnLPrecision) << estimate.sample_ln_l << std::setw(kLnLWidth)
        << estimate.equilibrium_ln_l << std::setw(kRatioWidth) << estimate.ratio()
        << std::setw(kMaximaWidth) << estimate.n_maxima << "\n";
}

void ReportWriter::p_value(double tail, std::int32_t valid, std::int32_t n_simulated) {
    _os << "\n"
        << rule(45, '-') << "\nLinkage and Hardy-Weinberg equilbrium P-value"
        << "\n"
        << rule(45, '-');
    if (valid == 0) {
        _os << "No valid case out of " << n_simulated << "\n";
        return;
    }
    fixed_right(_os);
    _os << "\n\nP(Rand. logLhood ratio >= Obs. logLhood ratio) = " << std::setw(kPValueWidth)
        << std::setprecision(kFrequencyPrecision) << tail / valid << "\n(" << valid
        << " valid cases out of " << n_simulated << ")\n"
        << "\n";
}

void ReportWriter::simulation_not_run(const std::string& reason) {
    _os << "\nSimulation test not run: " << reason << ".\n";
}

void ReportWriter::computing_time(std::int32_t milliseconds) {
    _os << "\nTotal computing time : " << milliseconds << " ms" << std::endl;
}

void ReportWriter::run_stopped(std::int32_t next_row, const std::string& reason) {
    _os << "\nRun stopped before simulated sample " << next_row << ": " << reason << "\n";
    _os.flush();
}
