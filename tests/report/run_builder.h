#pragma once

#include <limits>

#include "report/sample_results.h"

// A run of three samples, built by hand with frequencies exact in binary so
// the expected table bytes can be worked out on paper: two loci with an
// unseen-allele entry at each (one at exactly 0, one at a trace) and three
// simulated samples (one invalid); a sample with no estimate; a sample typed
// at one locus whose name holds a tab.
inline RunResults hand_built_run() {
    RunResults run;
    run.version = "9.9.9";
    run.data_file = "hand.mbd";
    run.seed = -17;
    run.n_samples = 3;
    run.n_simulated = 3;
    run.n_initial = 4;

    SampleResults two;
    two.name = "Two loci <A&B>";
    two.announced = 12;
    two.individuals = 10;
    two.families = 2;
    two.singles = 3;
    two.absent_parents = 1;
    two.loci = 2;
    two.sample_ln_l = -20.0;
    two.equilibrium_ln_l = -21.5;
    two.n_maxima = 1;
    // A1's own estimate is not the haplotypes' marginal 0.75 (as with
    // families): the measures take the marginal.
    two.alleles = {{{"A1", 0.7499F}, {"A2", 0.25F}, {"#", 0.0F}},
                   {{"B1", 0.5F}, {"B2", 0.5F}, {"#", 1e-11F}}};
    const double trace = 1e-16;
    two.haplotypes = {
        {0, {"#", "#"}, {2, 2}, 0.0, 0.0},        {1, {"#", "B1"}, {2, 0}, trace, 0.0},
        {2, {"#", "B2"}, {2, 1}, 0.0, 0.0},       {3, {"A1", "#"}, {0, 2}, 0.0, 7.5e-12},
        {4, {"A1", "B1"}, {0, 0}, 0.5, 0.375},    {5, {"A1", "B2"}, {0, 1}, 0.25, 0.375},
        {6, {"A2", "#"}, {1, 2}, trace, 2.5e-12}, {7, {"A2", "B1"}, {1, 0}, 0.0, 0.125},
        {8, {"A2", "B2"}, {1, 1}, 0.25, 0.125},
    };
    two.haplotypes[4].frequency_low = 0.375;
    two.haplotypes[4].frequency_high = 0.625;
    two.haplotypes[4].d_prime_low = 0.5;
    two.haplotypes[4].d_prime_high = 1.0;
    two.bootstrap_replicates = 50;
    two.bootstrap_valid = 49;
    two.overall_d_prime_low = 0.5;
    two.overall_d_prime_high = 1.0;
    two.wn_low = 0.25;
    two.wn_high = 0.75;
    two.test = TestStatus::kRun;
    two.n_simulated = 3;
    two.simulated = {{-10.5, -11.0, 1, true},
                     {-10.0, -12.0, 2, true},
                     {-5.0, std::numeric_limits<double>::quiet_NaN(), 1, false}};
    two.tail = 1;
    two.valid = 2;
    two.distinct_maxima = 2;
    two.best_maximum_starts = 1;
    two.maxima_tolerance = 0.001;
    two.founder_haplotypes = 12;
    two.hardy_weinberg = {{8, 2, 0.5, 0.46875, 1.0, 0}, {8, 3, 0.25, 0.59375, 0.0312, 20000}};
    run.samples.push_back(two);

    SampleResults none;
    none.name = "Mendelian error";
    none.announced = 4;
    none.individuals = 4;
    none.families = 1;
    none.loci = 2;
    none.estimated = false;
    none.sample_ln_l = -3.4028234663852886e+38;
    none.equilibrium_ln_l = -3.4028234663852886e+38;
    none.test = TestStatus::kNoEstimate;
    none.n_simulated = 3;
    run.samples.push_back(none);

    SampleResults one;
    one.name = "One\tlocus";
    one.announced = 2;
    one.individuals = 2;
    one.singles = 2;
    one.loci = 1;
    one.sample_ln_l = -2.0;
    one.equilibrium_ln_l = -2.0;
    one.n_maxima = 1;
    one.alleles = {{{"C1", 0.5F}, {"C2", 0.5F}, {"#", 0.0F}}};
    one.haplotypes = {
        {0, {"#"}, {2}, 0.0, 0.0}, {1, {"C1"}, {0}, 0.5, 0.5}, {2, {"C2"}, {1}, 0.5, 0.5}};
    one.test = TestStatus::kOneLocus;
    one.n_simulated = 3;
    run.samples.push_back(one);
    return run;
}
