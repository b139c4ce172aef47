// Simulated samples, bootstrap replicates and whole observed samples as bytes between processes:
// what goes out comes back the same, whatever the names hold, and damaged bytes are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "app/sample_codec.h"
#include "support/random.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SimulatedSample job() {
    SimulatedSample s;
    s.sample.name = "(A random sample)";
    s.sample.announced = 7;
    s.sample.records.push_back({"C\x01", "F", "M extra\t", {"1 A ", std::string("2\0B ", 4)}, 12});
    s.sample.records.push_back({"F", "0", "0", {"", ""}, 0});
    std::int32_t seed = -99;
    random_uniform(seed);
    s.start = current_random_state();
    random_uniform(seed);
    return s;
}

TEST(SampleCodec, JobsAndOutcomesRoundTrip) {
    const SimulatedSample a = job();
    SimulatedSample listed = job();
    listed.options.engine = EngineKind::listed;
    std::vector<SimulatedSample> jobs;
    EXPECT_EQ(5, sample_codec::decode_jobs(sample_codec::encode_jobs(5, {&listed, &a}), jobs));
    ASSERT_EQ(2U, jobs.size());
    // The engine travels with each job.
    EXPECT_EQ(EngineKind::listed, jobs[0].options.engine);
    EXPECT_EQ(EngineKind::summed, jobs[1].options.engine);
    const SampleRecord& r = jobs[1].sample.records[0];
    EXPECT_EQ("(A random sample)", jobs[1].sample.name);
    EXPECT_EQ(7, jobs[1].sample.announced);
    EXPECT_EQ("M extra\t", r.parent2);
    EXPECT_EQ(std::string("2\0B ", 4), r.allele_lines[1]);
    EXPECT_EQ(12, r.line);
    EXPECT_TRUE(jobs[1].start == a.start);

    jobs[0].finished = current_random_state();
    jobs[0].result = {-12.5, -13.25, 3};
    jobs[0].console = "..\nLogLHood : -12.5\n";
    jobs[0].messages.events.push_back({"Building genotypes ... ", "warning\ntext", 0});
    jobs[0].messages.events.push_back({"", "fatal", 99});
    jobs[0].messages.progress << " done in 3 ms !\n";
    jobs[1].out_of_memory = true;
    SimulatedSample back[2];
    sample_codec::decode_outcomes(sample_codec::encode_outcomes(jobs), {&back[0], &back[1]});
    EXPECT_TRUE(back[0].finished == jobs[0].finished);
    EXPECT_EQ(-13.25, back[0].result.equilibrium_ln_l);
    EXPECT_EQ(3, back[0].result.n_maxima);
    EXPECT_EQ(jobs[0].console, back[0].console);
    ASSERT_EQ(2U, back[0].messages.events.size());
    EXPECT_EQ("warning\ntext", back[0].messages.events[0].text);
    EXPECT_EQ("Building genotypes ... ", back[0].messages.events[0].text_before);
    EXPECT_EQ(99, back[0].messages.events[1].level);
    EXPECT_EQ(" done in 3 ms !\n", back[0].messages.progress.str());
    EXPECT_FALSE(back[0].out_of_memory);
    EXPECT_TRUE(back[1].out_of_memory);
}

TEST(SampleCodec, RefusesTruncatedOrMismatchedBytes) {
    const SimulatedSample a = job();
    const std::string bytes = sample_codec::encode_jobs(2, {&a});
    std::vector<SimulatedSample> jobs;
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, bytes.size() / 2, bytes.size() - 1}) {
        EXPECT_THROW(sample_codec::decode_jobs(bytes.substr(0, cut), jobs),
                     sample_codec::DecodeError)
            << cut;
    }
    EXPECT_THROW(sample_codec::decode_jobs(bytes + "x", jobs), sample_codec::DecodeError);
    std::vector<SimulatedSample> one(1);
    SimulatedSample back[2];
    EXPECT_THROW(
        sample_codec::decode_outcomes(sample_codec::encode_outcomes(one), {&back[0], &back[1]}),
        sample_codec::DecodeError);
}

TEST(SampleCodec, ReplicatesGoOutAndComeBackAtTheirNumbers) {
    ReplicateTask task{job().sample, 4, 1234567890123, 2};
    const std::vector<std::int32_t> sent{7, 2, 0};
    ReplicateTask got;
    EXPECT_EQ(sent, sample_codec::decode_replicate_jobs(
                        sample_codec::encode_replicate_jobs(task, sent), got));
    EXPECT_EQ(1234567890123, got.seed);
    EXPECT_EQ(2, got.sample_number);
    EXPECT_EQ(4, got.n_initial);
    EXPECT_EQ(std::string("2\0B ", 4), got.sample.records[0].allele_lines[1]);

    std::vector<ReplicateEstimates> estimates(3);
    estimates[0] = {true, {{"A\tB\t", {0.25, -0.5}}, {"A\tC\t", {0.0, kNaN}}}, 0.75, kNaN};
    estimates[2].valid = false;
    std::vector<ReplicateEstimates> done(8);
    sample_codec::decode_replicate_outcomes(sample_codec::encode_replicate_outcomes(estimates),
                                            sent, done);
    ASSERT_TRUE(done[7].valid);
    EXPECT_EQ(0.75, done[7].overall_d_prime);
    EXPECT_TRUE(std::isnan(done[7].wn));
    EXPECT_EQ(-0.5, done[7].haplotypes.at("A\tB\t").second);
    EXPECT_TRUE(std::isnan(done[7].haplotypes.at("A\tC\t").second));
    EXPECT_FALSE(done[0].valid);

    const std::string bytes = sample_codec::encode_replicate_outcomes(estimates);
    EXPECT_THROW(sample_codec::decode_replicate_outcomes(bytes, {7, 2}, done),
                 sample_codec::DecodeError);
    EXPECT_THROW(sample_codec::decode_replicate_outcomes(bytes, {7, 2, 8}, done),
                 sample_codec::DecodeError);
    EXPECT_THROW(
        sample_codec::decode_replicate_outcomes(bytes.substr(0, bytes.size() - 1), sent, done),
        sample_codec::DecodeError);
}

TEST(SampleCodec, WholeSamplesComeBackWithEveryPartOfTheirOutputs) {
    ObservedJob job_out{job().sample, 9, 4, {}, job().start, {}};
    job_out.options.engine = EngineKind::whole_pedigrees;
    job_out.settings.bootstrap_replicates = 20;
    job_out.settings.phases = true;
    const ObservedJob job_in =
        sample_codec::decode_observed_job(sample_codec::encode_observed_job(job_out));
    EXPECT_EQ(std::string("2\0B ", 4), job_in.sample.records[0].allele_lines[1]);
    EXPECT_EQ(9, job_in.announced);
    EXPECT_EQ(4, job_in.index);
    EXPECT_EQ(EngineKind::whole_pedigrees, job_in.options.engine);
    EXPECT_TRUE(job_in.start == job_out.start);
    EXPECT_EQ(20, job_in.settings.bootstrap_replicates);
    EXPECT_TRUE(job_in.settings.phases);

    ObservedOutcome out;
    out.finished = job_out.start;
    out.console = "..\nSample X: no estimate\n";
    out.messages.events.push_back({"Building ... ", "notice", 0});
    out.written = true;
    out.report = "\n Sample X\n";
    out.errors = "TPopPedigree::analyse : sample X: 2 typed individuals\n";
    SampleResults& r = out.results;
    r.name = "X";
    r.families = 3;
    r.estimated = false;
    r.maxima_tolerance = 1e-6;
    r.founder_haplotypes = 12;
    r.alleles = {{{"A", 0.25F}, {"B", 0.75F}}, {{"C", 1.0F}}};
    r.haplotypes.push_back({2, {"A", "C"}, {0, 0}, 0.25, 0.25, kNaN, 0.5, -1.0, 1.0});
    r.test = TestStatus::kOneLocus;
    r.simulated.push_back({-1.5, -2.5, 2, true});
    r.hardy_weinberg.push_back({5, 2, 0.4, 0.5, 0.75, 1000});
    r.phases.push_back({"C1", {{"A~C", "B~C", 0.875}}});
    r.phases_missing = true;
    r.bootstrap_valid = 19;
    r.wn_high = 0.625;
    r.complete = true;

    const std::string bytes = sample_codec::encode_observed_outcome(out);
    const ObservedOutcome in = sample_codec::decode_observed_outcome(bytes);
    // Every field read back where it was written: the bytes come out the same
    // (after the generator state, whose padding holds whatever it held).
    EXPECT_EQ(bytes.substr(sizeof(RandomState)),
              sample_codec::encode_observed_outcome(in).substr(sizeof(RandomState)));
    EXPECT_TRUE(in.finished == out.finished);
    EXPECT_EQ(out.console, in.console);
    EXPECT_EQ("notice", in.messages.events.at(0).text);
    EXPECT_EQ(out.report, in.report);
    EXPECT_EQ(out.errors, in.errors);
    EXPECT_TRUE(in.written);
    EXPECT_FALSE(in.out_of_memory);
    EXPECT_EQ(3, in.results.families);
    EXPECT_FALSE(in.results.estimated);
    EXPECT_EQ(0.75F, in.results.alleles.at(0).at(1).frequency);
    EXPECT_EQ("C", in.results.haplotypes.at(0).alleles.at(1));
    EXPECT_TRUE(std::isnan(in.results.haplotypes[0].frequency_low));
    EXPECT_EQ(-1.0, in.results.haplotypes[0].d_prime_low);
    EXPECT_EQ(TestStatus::kOneLocus, in.results.test);
    EXPECT_EQ(1000, in.results.hardy_weinberg.at(0).draws);
    EXPECT_EQ("B~C", in.results.phases.at(0).pairs.at(0).haplotype_b);
    EXPECT_EQ(0.625, in.results.wn_high);

    const std::string message = sample_codec::pack({bytes, "", bytes});
    EXPECT_EQ((std::vector<std::string>{bytes, "", bytes}), sample_codec::unpack(message));
    EXPECT_THROW(sample_codec::unpack(message.substr(0, message.size() - 1)),
                 sample_codec::DecodeError);
    EXPECT_THROW(sample_codec::decode_observed_outcome(bytes + "x"), sample_codec::DecodeError);
}

} // namespace
