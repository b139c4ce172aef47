#include "app/bootstrap.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <new>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "app/results_collector.h"
#include "app/sample_batch.h"
#include "population/pop_pedigree.h"
#include "support/analysis_options.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/side_random.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kUnknown = "0";
// Seeds the generator reduces to themselves (see random_uniform).
constexpr std::uint64_t kLargestSeed = 161803398;

std::string key_of(const std::vector<std::string>& alleles) {
    std::string key;
    for (const std::string& a : alleles) {
        key += a;
        key += '\t';
    }
    return key;
}

ReplicateSharer* installed_sharer = nullptr;

} // namespace

ReplicateEstimates analyse_replicate(const ReplicateTask& task,
                                     const std::vector<std::vector<std::size_t>>& units,
                                     std::int32_t index) {
    SideRandom random(task.seed, kBootstrapReplicate,
                      static_cast<std::uint64_t>(task.sample_number),
                      static_cast<std::uint64_t>(index));
    std::vector<std::size_t> drawn(units.size());
    for (std::size_t& d : drawn) {
        d = random.below(units.size());
    }
    const SampleDescription replicate = resampled(task.sample, units, drawn);
    std::int32_t generator_seed = -static_cast<std::int32_t>(1 + random.below(kLargestSeed));

    ReplicateEstimates out;
    out.overall_d_prime = kNaN;
    out.wn = kNaN;
    AnalysisOptions options; // the summed engine, one thread per replicate
    options.from_data_file = false;
    const CapturedOutput dropped;
    const RandomState saved_state = current_random_state();
    current_random_state() = RandomState{};
    random_uniform(generator_seed);
    try {
        TPopPedigree pop("Brand new pop", options);
        pop.analyse(replicate, task.n_initial);
        if (pop.PedDB._ln_likelihood > kFloorLnLikelihood &&
            pop.EquilLnLHood > kFloorLnLikelihood) {
            const SampleResults r = collect_sample(pop, replicate, replicate.announced);
            const std::optional<SampleLd> ld_table = sample_ld(r);
            for (std::size_t i = 0; i < r.haplotypes.size(); ++i) {
                const HaplotypeResult& h = r.haplotypes[i];
                double d_prime = kNaN;
                if (ld_table && ld_table->haplotype_row[i] >= 0) {
                    d_prime = ld_table->table
                                  .cells[static_cast<std::size_t>(ld_table->haplotype_row[i])]
                                        [static_cast<std::size_t>(ld_table->haplotype_column[i])]
                                  .d_prime;
                }
                out.haplotypes[key_of(h.alleles)] = {haplotype_listed(r, h) ? h.frequency : 0.0,
                                                     d_prime};
            }
            if (ld_table) {
                out.overall_d_prime = ld_table->table.overall_d_prime;
                out.wn = ld_table->table.wn;
            }
            out.valid = true;
        }
    } catch (const FatalError&) {
        // A replicate the analysis refuses (memory limit) counts as invalid.
    } catch (const std::bad_alloc&) {
    }
    current_random_state() = saved_state;
    return out;
}

namespace {

// Interval of the values that are numbers.
std::pair<double, double> interval(std::vector<double> values) {
    std::erase_if(values, [](double v) { return std::isnan(v); });
    std::sort(values.begin(), values.end());
    return {percentile(values, 0.025), percentile(values, 0.975)};
}

} // namespace

std::vector<std::vector<std::size_t>> sample_units(const SampleDescription& sample) {
    // Records linked by parenthood, absent parents included, by union-find
    // over identifiers.
    std::map<std::string, std::string> parent;
    auto find = [&](std::string x) {
        while (parent[x] != x) {
            x = parent[x];
        }
        return x;
    };
    auto add = [&](const std::string& x) { parent.emplace(x, x); };
    auto join = [&](const std::string& a, const std::string& b) {
        const std::string ra = find(a);
        const std::string rb = find(b);
        if (ra != rb) {
            parent[std::max(ra, rb)] = std::min(ra, rb);
        }
    };
    for (const SampleRecord& r : sample.records) {
        add(r.id);
        // One unknown parent counts as none, as in the likelihood.
        if (r.parent1 != kUnknown && r.parent2 != kUnknown) {
            add(r.parent1);
            add(r.parent2);
            join(r.id, r.parent1);
            join(r.id, r.parent2);
        }
    }
    std::map<std::string, std::size_t> unit_of;
    std::vector<std::vector<std::size_t>> units;
    for (std::size_t i = 0; i < sample.records.size(); ++i) {
        const std::string root = find(sample.records[i].id);
        const auto [it, added] = unit_of.emplace(root, units.size());
        if (added) {
            units.emplace_back();
        }
        units[it->second].push_back(i);
    }
    return units;
}

SampleDescription resampled(const SampleDescription& sample,
                            const std::vector<std::vector<std::size_t>>& units,
                            const std::vector<std::size_t>& drawn) {
    SampleDescription out;
    out.name = sample.name;
    for (std::size_t d = 0; d < drawn.size(); ++d) {
        // No identifier holds a blank: the prefix cannot meet another.
        const std::string prefix = "b" + std::to_string(d) + " ";
        auto renamed = [&](const std::string& id) { return id == kUnknown ? id : prefix + id; };
        for (std::size_t i : units[drawn[d]]) {
            SampleRecord r = sample.records[i];
            r.id = renamed(r.id);
            r.parent1 = renamed(r.parent1);
            r.parent2 = renamed(r.parent2);
            r.line = 0;
            out.records.push_back(std::move(r));
        }
    }
    out.announced = static_cast<std::int32_t>(out.records.size());
    return out;
}

double percentile(const std::vector<double>& sorted, double share) {
    if (sorted.empty()) {
        return kNaN;
    }
    const double at = share * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(at));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (at - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

void set_replicate_sharer(ReplicateSharer* sharer) {
    installed_sharer = sharer;
}

void bootstrap_intervals(const SampleDescription& sample, SampleResults& results,
                         std::int32_t n_initial, std::int64_t seed, std::int32_t sample_number,
                         std::int32_t replicates, std::int32_t threads, bool share) {
    ReplicateSharer* const sharer = share ? installed_sharer : nullptr;
    const ReplicateTask task{sample, n_initial, seed, sample_number};
    const std::vector<std::vector<std::size_t>> units = sample_units(sample);
    std::vector<ReplicateEstimates> done(static_cast<std::size_t>(replicates));
    std::atomic<std::int32_t> next{0};
    auto work = [&] {
        for (std::int32_t i = next++; i < replicates; i = next++) {
            done[static_cast<std::size_t>(i)] = analyse_replicate(task, units, i);
        }
    };
    // With a sharer the calling thread serves the other processes, and every
    // thread here analyses.
    std::vector<std::thread> helpers;
    for (std::int32_t t = sharer ? 0 : 1; t < std::min(threads, replicates); ++t) {
        helpers.emplace_back(work);
    }
    try {
        if (sharer) {
            sharer->share(task, replicates, next, done);
        } else {
            work();
        }
    } catch (const std::exception& e) {
        next = replicates; // the threads stop after their current replicate
        for (std::thread& helper : helpers) {
            helper.join();
        }
        // The replicates were lost on their way (another process failed).
        fatal_input_error(std::string("bootstrap_intervals : ") + e.what());
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }

    // Taken in replicate order, whichever thread made each.
    results.bootstrap_replicates = replicates;
    std::vector<double> overall;
    std::vector<double> wn;
    for (const ReplicateEstimates& r : done) {
        if (r.valid) {
            ++results.bootstrap_valid;
            overall.push_back(r.overall_d_prime);
            wn.push_back(r.wn);
        }
    }
    std::tie(results.overall_d_prime_low, results.overall_d_prime_high) = interval(overall);
    std::tie(results.wn_low, results.wn_high) = interval(wn);
    for (HaplotypeResult& h : results.haplotypes) {
        const std::string key = key_of(h.alleles);
        std::vector<double> frequency;
        std::vector<double> d_prime;
        for (const ReplicateEstimates& r : done) {
            if (!r.valid) {
                continue;
            }
            // A haplotype the replicate could not form (an allele not drawn) has frequency 0.
            const auto found = r.haplotypes.find(key);
            frequency.push_back(found == r.haplotypes.end() ? 0.0 : found->second.first);
            d_prime.push_back(found == r.haplotypes.end() ? kNaN : found->second.second);
        }
        std::tie(h.frequency_low, h.frequency_high) = interval(frequency);
        std::tie(h.d_prime_low, h.d_prime_high) = interval(d_prime);
    }
}
