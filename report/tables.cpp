#include "report/tables.h"

#include <initializer_list>
#include <vector>

#include "report/number_format.h"
#include "report/panel.h"
#include "support/display_text.h"

namespace tables {
namespace {

void write_fields(std::ostream& os, const std::string* begin, const std::string* end) {
    for (const std::string* f = begin; f != end; ++f) {
        os << (f == begin ? "" : "\t") << *f;
    }
    os << "\n";
}

void row(std::ostream& os, std::initializer_list<std::string> fields) {
    write_fields(os, fields.begin(), fields.end());
}

std::string integer(std::int64_t value) {
    return std::to_string(value);
}

const char* const kNoEstimate = "no estimate: the likelihood of the sample is zero";

// The marker of a sample's locus (0 or 1) as its name carries it, or "".
std::string marker(const std::vector<std::string>& names, std::size_t locus) {
    return locus < names.size() ? field(names[locus]) : "";
}

} // namespace

std::vector<std::string> file_names(const std::string& base) {
    return {base + ".summary.tsv", base + ".alleles.tsv", base + ".haplotypes.tsv",
            base + ".simulated.tsv", base + ".hwe.tsv"};
}

std::string field(const std::string& name) {
    const std::string text = display_text::marked_utf8(name);
    if (text.find_first_of("\t\r\n\"") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string test_text(const SampleResults& sample) {
    switch (sample.test) {
    case TestStatus::kRun:
        return sample.valid > 0 ? "simulated" : "no valid simulated sample";
    case TestStatus::kNoEstimate:
        return "not run: no estimate";
    case TestStatus::kOneLocus:
        return "not run: one locus";
    case TestStatus::kNotRequested:
        break;
    }
    return "not run: no simulated samples requested";
}

void write_summary(std::ostream& os, const RunResults& run) {
    // A run of another model than the default one says so in one more
    // column; default tables keep theirs.
    bool header = true;
    auto row = [&](std::ostream& out, std::initializer_list<std::string> fields) {
        std::vector<std::string> all(fields);
        if (!run.model.empty()) {
            all.push_back(header ? "model" : field(run.model));
        }
        header = false;
        write_fields(out, all.data(), all.data() + all.size());
    };
    row(os, {"program",
             "version",
             "data_file",
             "seed",
             "initial_conditions",
             "simulated_requested",
             "sample_number",
             "sample",
             "announced_individuals",
             "individuals",
             "families",
             "singles",
             "absent_parents",
             "loci",
             "estimate",
             "sample_ln_likelihood",
             "equilibrium_ln_likelihood",
             "likelihood_ratio",
             "maxima",
             "df",
             "chi_square_p",
             "test",
             "simulated",
             "valid",
             "at_least_observed",
             "report_p",
             "monte_carlo_p",
             "p_lower_95",
             "p_upper_95",
             "overall_d_prime",
             "wn",
             "distinct_maxima",
             "best_maximum_starts",
             "maxima_tolerance",
             "founder_haplotypes",
             "min_expected_count",
             "cells_expected_below_5",
             "chi_square_reliable",
             "bootstrap_replicates",
             "bootstrap_valid",
             "overall_d_prime_low",
             "overall_d_prime_high",
             "wn_low",
             "wn_high",
             "locus_1",
             "locus_2"});
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const SampleResults& sample = run.samples[s];
        const std::optional<SampleLd> ld_table = sample_ld(sample);
        const SampleTest test = sample_test(sample, ld_table);
        const bool est = sample.estimated;
        const bool sim = sample.test == TestStatus::kRun;
        const std::vector<std::string> markers = panel::locus_names(sample);
        row(os, {field(run.program),
                 run.version,
                 field(run.data_file),
                 integer(run.seed),
                 integer(run.n_initial),
                 integer(sample.n_simulated),
                 integer(static_cast<std::int64_t>(s) + 1),
                 field(sample.name),
                 integer(sample.announced),
                 integer(sample.individuals),
                 integer(sample.families),
                 integer(sample.singles),
                 integer(sample.absent_parents),
                 integer(sample.loci),
                 est ? "estimated" : kNoEstimate,
                 est ? shortest(sample.sample_ln_l) : "",
                 est ? shortest(sample.equilibrium_ln_l) : "",
                 est ? shortest(sample.ratio()) : "",
                 est ? integer(sample.n_maxima) : "",
                 test.df > 0 ? integer(test.df) : "",
                 shortest(test.chi_square_p),
                 test_text(sample),
                 sim ? integer(static_cast<std::int64_t>(sample.simulated.size())) : "",
                 sim ? integer(sample.valid) : "",
                 sim ? integer(sample.tail) : "",
                 shortest(test.report_p),
                 shortest(test.monte_carlo_p),
                 shortest(test.interval.lower),
                 shortest(test.interval.upper),
                 ld_table ? shortest(ld_table->table.overall_d_prime) : "",
                 ld_table ? shortest(ld_table->table.wn) : "",
                 est ? integer(sample.distinct_maxima) : "",
                 est ? integer(sample.best_maximum_starts) : "",
                 est ? shortest(sample.maxima_tolerance) : "",
                 integer(sample.founder_haplotypes),
                 shortest(test.min_expected),
                 test.df > 0 ? integer(test.cells_below_five) : "",
                 test.df > 0 ? (test.chi_square_reliable ? "yes" : "no") : "",
                 integer(sample.bootstrap_replicates),
                 integer(sample.bootstrap_valid),
                 shortest(sample.overall_d_prime_low),
                 shortest(sample.overall_d_prime_high),
                 shortest(sample.wn_low),
                 shortest(sample.wn_high),
                 marker(markers, 0),
                 marker(markers, 1)});
    }
}

void write_alleles(std::ostream& os, const RunResults& run) {
    row(os, {"sample_number", "sample", "locus", "allele_number", "allele", "frequency", "note"});
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const SampleResults& sample = run.samples[s];
        const std::string number = integer(static_cast<std::int64_t>(s) + 1);
        if (!sample.estimated) {
            row(os, {number, field(sample.name), "", "", "", "", kNoEstimate});
            continue;
        }
        for (std::size_t k = 0; k < sample.alleles.size(); ++k) {
            for (std::size_t a = 0; a < sample.alleles[k].size(); ++a) {
                const AlleleResult& allele = sample.alleles[k][a];
                row(os, {number, field(sample.name), integer(static_cast<std::int64_t>(k) + 1),
                         integer(static_cast<std::int64_t>(a) + 1), field(allele.name),
                         shortest(allele.frequency), allele.name == "#" ? "unseen alleles" : ""});
            }
        }
    }
}

void write_haplotypes(std::ostream& os, const RunResults& run) {
    row(os, {"sample_number", "sample", "haplotype_number", "allele_1", "allele_2", "frequency",
             "product_of_allele_frequencies", "d", "d_prime", "r_squared", "note",
             "allele_1_marginal", "allele_2_marginal", "frequency_low", "frequency_high",
             "d_prime_low", "d_prime_high", "locus_1", "locus_2"});
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const SampleResults& sample = run.samples[s];
        const std::string number = integer(static_cast<std::int64_t>(s) + 1);
        const std::vector<std::string> markers = panel::locus_names(sample);
        if (!sample.estimated) {
            row(os, {number, field(sample.name), "", "", "", "", "", "", "", "", kNoEstimate, "",
                     "", "", "", "", "", marker(markers, 0), marker(markers, 1)});
            continue;
        }
        const std::optional<SampleLd> ld_table = sample_ld(sample);
        for (std::size_t i = 0; i < sample.haplotypes.size(); ++i) {
            const HaplotypeResult& h = sample.haplotypes[i];
            if (!haplotype_listed(sample, h)) {
                continue;
            }
            std::string d;
            std::string d_prime;
            std::string r_squared;
            std::string note;
            std::string marginal[2];
            if (!ld_table) {
                note = "one locus";
            } else {
                for (std::size_t k = 0; k < 2; ++k) {
                    marginal[k] = shortest(
                        ld_table->marginals[k][static_cast<std::size_t>(h.allele_index[k])]);
                }
                const ld::PairMeasures& m =
                    ld_table->table.cells[static_cast<std::size_t>(ld_table->haplotype_row[i])]
                                         [static_cast<std::size_t>(ld_table->haplotype_column[i])];
                d = shortest(m.d);
                d_prime = shortest(m.d_prime);
                r_squared = shortest(m.r_squared);
            }
            row(os, {number, field(sample.name), integer(h.number),
                     h.alleles.empty() ? "" : field(h.alleles[0]),
                     h.alleles.size() < 2 ? "" : field(h.alleles[1]), shortest(h.frequency),
                     shortest(h.product), d, d_prime, r_squared, note, marginal[0], marginal[1],
                     shortest(h.frequency_low), shortest(h.frequency_high), shortest(h.d_prime_low),
                     shortest(h.d_prime_high), marker(markers, 0), marker(markers, 1)});
        }
    }
}

void write_simulated(std::ostream& os, const RunResults& run) {
    row(os, {"sample_number", "sample", "simulated_sample", "sample_ln_likelihood",
             "equilibrium_ln_likelihood", "likelihood_ratio", "maxima", "valid",
             "at_least_observed", "note"});
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const SampleResults& sample = run.samples[s];
        const std::string number = integer(static_cast<std::int64_t>(s) + 1);
        if (sample.test != TestStatus::kRun) {
            row(os, {number, field(sample.name), "", "", "", "", "", "", "", test_text(sample)});
            continue;
        }
        const double observed = sample.ratio();
        for (std::size_t i = 0; i < sample.simulated.size(); ++i) {
            const SimulatedResult& r = sample.simulated[i];
            row(os, {number, field(sample.name), integer(static_cast<std::int64_t>(i) + 1),
                     shortest(r.sample_ln_l), shortest(r.equilibrium_ln_l), shortest(r.ratio()),
                     integer(r.n_maxima), r.valid ? "1" : "0",
                     r.valid ? (r.ratio() >= observed ? "1" : "0") : "", ""});
        }
    }
}

void write_hardy_weinberg(std::ostream& os, const RunResults& run) {
    row(os, {"sample_number", "sample", "locus", "individuals", "alleles",
             "observed_heterozygosity", "expected_heterozygosity", "p_value", "method"});
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const SampleResults& sample = run.samples[s];
        const std::string number = integer(static_cast<std::int64_t>(s) + 1);
        for (std::size_t k = 0; k < sample.hardy_weinberg.size(); ++k) {
            const LocusHardyWeinberg& t = sample.hardy_weinberg[k];
            row(os,
                {number, field(sample.name), integer(static_cast<std::int64_t>(k) + 1),
                 integer(t.individuals), integer(t.alleles), shortest(t.observed_heterozygosity),
                 shortest(t.expected_heterozygosity), shortest(t.p_value), hwe_method(t)});
        }
    }
}

void write_phases(std::ostream& os, const RunResults& run) {
    row(os, {"sample_number", "sample", "individual", "haplotype_a", "haplotype_b", "posterior",
             "most_probable"});
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const SampleResults& sample = run.samples[s];
        const std::string number = integer(static_cast<std::int64_t>(s) + 1);
        for (const IndividualPhaseRows& individual : sample.phases) {
            for (std::size_t i = 0; i < individual.pairs.size(); ++i) {
                const PhaseRow& pair = individual.pairs[i];
                row(os, {number, field(sample.name), field(individual.individual),
                         field(pair.haplotype_a), field(pair.haplotype_b), shortest(pair.posterior),
                         i == 0 ? "1" : "0"});
            }
        }
    }
}

std::string phases_file_name(const std::string& base) {
    return base + ".phases.tsv";
}

std::string hwe_method(const LocusHardyWeinberg& test) {
    return test.draws == 0 ? "exact, complete enumeration"
                           : "exact, Monte Carlo " + integer(test.draws) + " draws";
}

std::vector<Table> all(const std::string& base) {
    const std::vector<std::string> names = file_names(base);
    return {{names[0], write_summary},
            {names[1], write_alleles},
            {names[2], write_haplotypes},
            {names[3], write_simulated},
            {names[4], write_hardy_weinberg}};
}

} // namespace tables
