// Simulated samples as bytes between processes: what goes out comes back the
// same, whatever the names hold, and damaged bytes are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/sample_codec.h"
#include "support/random.h"

namespace {

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

} // namespace
