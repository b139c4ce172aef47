#include "app/sample_codec.h"

#include <cstring>
#include <type_traits>

namespace sample_codec {
namespace {

class Writer {
  public:
    template <typename T> void put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        _bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void put(const std::string& text) {
        put(static_cast<std::uint64_t>(text.size()));
        _bytes.append(text);
    }
    std::string take() { return std::move(_bytes); }

  private:
    std::string _bytes;
};

class Reader {
  public:
    explicit Reader(const std::string& bytes) : _bytes(bytes) {}
    template <typename T> T get() {
        static_assert(std::is_trivially_copyable_v<T>);
        T value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    std::string get_string() {
        const auto n = get<std::uint64_t>();
        if (n > _bytes.size() - _at) {
            throw DecodeError("truncated text");
        }
        return std::string(take(static_cast<std::size_t>(n)), static_cast<std::size_t>(n));
    }
    void expect_end() const {
        if (_at != _bytes.size()) {
            throw DecodeError("trailing bytes");
        }
    }

  private:
    const char* take(std::size_t n) {
        if (n > _bytes.size() - _at) {
            throw DecodeError("truncated message");
        }
        const char* p = _bytes.data() + _at;
        _at += n;
        return p;
    }

    const std::string& _bytes;
    std::size_t _at = 0;
};

void put_sample(Writer& w, const SampleDescription& s) {
    w.put(s.name);
    w.put(s.announced);
    w.put(static_cast<std::uint64_t>(s.records.size()));
    for (const SampleRecord& r : s.records) {
        w.put(r.id);
        w.put(r.parent1);
        w.put(r.parent2);
        w.put(r.allele_lines[0]);
        w.put(r.allele_lines[1]);
        w.put(r.line);
    }
}

SampleDescription get_sample(Reader& r) {
    SampleDescription s;
    s.name = r.get_string();
    s.announced = r.get<std::int32_t>();
    const auto n = r.get<std::uint64_t>();
    for (std::uint64_t k = 0; k < n; ++k) {
        SampleRecord record;
        record.id = r.get_string();
        record.parent1 = r.get_string();
        record.parent2 = r.get_string();
        record.allele_lines[0] = r.get_string();
        record.allele_lines[1] = r.get_string();
        record.line = r.get<std::int64_t>();
        s.records.push_back(std::move(record));
    }
    return s;
}

} // namespace

std::string encode_job(const SimulatedSample& job) {
    Writer w;
    put_sample(w, job.sample);
    w.put(job.options);
    w.put(job.start);
    w.put(job.setup);
    w.put(job.drawn_from);
    w.put(job.fingerprint);
    w.put(static_cast<std::uint8_t>(job.predicted ? 1 : 0));
    return w.take();
}

std::string jobs_message(std::int32_t n_initial, const std::vector<std::string>& jobs) {
    Writer w;
    w.put(n_initial);
    w.put(static_cast<std::uint64_t>(jobs.size()));
    std::string bytes = w.take();
    std::size_t size = bytes.size();
    for (const std::string& job : jobs) {
        size += job.size();
    }
    bytes.reserve(size);
    for (const std::string& job : jobs) {
        bytes += job;
    }
    return bytes;
}

std::string encode_jobs(std::int32_t n_initial, const std::vector<const SimulatedSample*>& jobs) {
    std::vector<std::string> encoded;
    for (const SimulatedSample* job : jobs) {
        encoded.push_back(encode_job(*job));
    }
    return jobs_message(n_initial, encoded);
}

std::int32_t decode_jobs(const std::string& bytes, std::vector<SimulatedSample>& jobs) {
    Reader r(bytes);
    const auto n_initial = r.get<std::int32_t>();
    const auto n = r.get<std::uint64_t>();
    jobs.clear();
    for (std::uint64_t k = 0; k < n; ++k) {
        SimulatedSample job;
        job.sample = get_sample(r);
        job.options = r.get<AnalysisOptions>();
        job.start = r.get<RandomState>();
        job.setup = r.get<std::int64_t>();
        job.drawn_from = r.get<RandomState>();
        job.fingerprint = r.get<std::uint64_t>();
        job.predicted = r.get<std::uint8_t>() != 0;
        jobs.push_back(std::move(job));
    }
    r.expect_end();
    return n_initial;
}

std::string encode_outcomes(const std::vector<SimulatedSample>& done) {
    Writer w;
    w.put(static_cast<std::uint64_t>(done.size()));
    for (const SimulatedSample& s : done) {
        w.put(s.finished);
        w.put(s.result.sample_ln_l);
        w.put(s.result.equilibrium_ln_l);
        w.put(s.result.n_maxima);
        w.put(s.console);
        w.put(static_cast<std::uint64_t>(s.messages.events.size()));
        for (const MessageCapture::Event& e : s.messages.events) {
            w.put(e.text_before);
            w.put(e.text);
            w.put(e.level);
        }
        w.put(s.messages.progress.str());
        w.put(static_cast<std::uint8_t>(s.out_of_memory ? 1 : 0));
    }
    return w.take();
}

void decode_outcomes(const std::string& bytes, const std::vector<SimulatedSample*>& into) {
    Reader r(bytes);
    if (r.get<std::uint64_t>() != into.size()) {
        throw DecodeError("outcome count differs from the samples sent");
    }
    for (SimulatedSample* s : into) {
        s->finished = r.get<RandomState>();
        s->result.sample_ln_l = r.get<double>();
        s->result.equilibrium_ln_l = r.get<double>();
        s->result.n_maxima = r.get<std::int32_t>();
        s->console = r.get_string();
        const auto n = r.get<std::uint64_t>();
        s->messages.events.clear();
        for (std::uint64_t k = 0; k < n; ++k) {
            MessageCapture::Event e;
            e.text_before = r.get_string();
            e.text = r.get_string();
            e.level = r.get<int>();
            s->messages.events.push_back(std::move(e));
        }
        s->messages.progress.str(r.get_string());
        s->out_of_memory = r.get<std::uint8_t>() != 0;
    }
    r.expect_end();
}

std::string encode_setup(const ObservedSetup& setup) {
    Writer w;
    w.put(setup.id);
    put_sample(w, setup.sample);
    w.put(setup.options);
    w.put(setup.n_initial);
    w.put(setup.start);
    return w.take();
}

ObservedSetup decode_setup(const std::string& bytes) {
    Reader r(bytes);
    ObservedSetup setup;
    setup.id = r.get<std::int64_t>();
    setup.sample = get_sample(r);
    setup.options = r.get<AnalysisOptions>();
    setup.n_initial = r.get<std::int32_t>();
    setup.start = r.get<RandomState>();
    r.expect_end();
    return setup;
}

std::string encode_replicate_jobs(const ReplicateTask& task,
                                  const std::vector<std::int32_t>& indices) {
    Writer w;
    put_sample(w, task.sample);
    w.put(task.n_initial);
    w.put(task.seed);
    w.put(task.sample_number);
    w.put(static_cast<std::uint64_t>(indices.size()));
    for (std::int32_t i : indices) {
        w.put(i);
    }
    return w.take();
}

std::vector<std::int32_t> decode_replicate_jobs(const std::string& bytes, ReplicateTask& task) {
    Reader r(bytes);
    task.sample = get_sample(r);
    task.n_initial = r.get<std::int32_t>();
    task.seed = r.get<std::int64_t>();
    task.sample_number = r.get<std::int32_t>();
    const auto n = r.get<std::uint64_t>();
    std::vector<std::int32_t> indices;
    for (std::uint64_t k = 0; k < n; ++k) {
        indices.push_back(r.get<std::int32_t>());
    }
    r.expect_end();
    return indices;
}

std::string encode_replicate_outcomes(const std::vector<ReplicateEstimates>& done) {
    Writer w;
    w.put(static_cast<std::uint64_t>(done.size()));
    for (const ReplicateEstimates& e : done) {
        w.put(static_cast<std::uint8_t>(e.valid ? 1 : 0));
        w.put(e.overall_d_prime);
        w.put(e.wn);
        w.put(static_cast<std::uint64_t>(e.haplotypes.size()));
        for (const auto& [key, values] : e.haplotypes) {
            w.put(key);
            w.put(values.first);
            w.put(values.second);
        }
    }
    return w.take();
}

void decode_replicate_outcomes(const std::string& bytes, const std::vector<std::int32_t>& indices,
                               std::vector<ReplicateEstimates>& done) {
    Reader r(bytes);
    if (r.get<std::uint64_t>() != indices.size()) {
        throw DecodeError("outcome count differs from the replicates sent");
    }
    for (std::int32_t i : indices) {
        if (i < 0 || static_cast<std::size_t>(i) >= done.size()) {
            throw DecodeError("replicate number out of range");
        }
        ReplicateEstimates e;
        e.valid = r.get<std::uint8_t>() != 0;
        e.overall_d_prime = r.get<double>();
        e.wn = r.get<double>();
        const auto n = r.get<std::uint64_t>();
        for (std::uint64_t k = 0; k < n; ++k) {
            std::string key = r.get_string();
            const auto frequency = r.get<double>();
            e.haplotypes[std::move(key)] = {frequency, r.get<double>()};
        }
        done[static_cast<std::size_t>(i)] = std::move(e);
    }
    r.expect_end();
}

// Whole observed samples.
namespace {

template <typename T, typename Put> void put_list(Writer& w, const std::vector<T>& list, Put put) {
    w.put(static_cast<std::uint64_t>(list.size()));
    for (const T& item : list) {
        put(item);
    }
}

template <typename T, typename Get> std::vector<T> get_list(Reader& r, Get get) {
    const auto n = r.get<std::uint64_t>();
    std::vector<T> list;
    for (std::uint64_t k = 0; k < n; ++k) {
        list.push_back(get());
    }
    return list;
}

// Lists of plain values (numbers, structures of numbers) and of texts.
template <typename T> void put_values(Writer& w, const std::vector<T>& list) {
    put_list(w, list, [&](const T& value) { w.put(value); });
}
template <typename T> std::vector<T> get_values(Reader& r) {
    if constexpr (std::is_same_v<T, std::string>) {
        return get_list<T>(r, [&] { return r.get_string(); });
    } else {
        return get_list<T>(r, [&] { return r.get<T>(); });
    }
}

void put_results(Writer& w, const SampleResults& s) {
    w.put(s.name);
    for (std::int32_t count : {s.announced, s.individuals, s.families, s.singles, s.absent_parents,
                               s.loci, s.n_maxima, s.distinct_maxima, s.best_maximum_starts,
                               s.n_simulated, s.bootstrap_replicates, s.bootstrap_valid}) {
        w.put(count);
    }
    for (double value : {s.sample_ln_l, s.equilibrium_ln_l, s.maxima_tolerance,
                         s.overall_d_prime_low, s.overall_d_prime_high, s.wn_low, s.wn_high}) {
        w.put(value);
    }
    for (std::int64_t count : {s.founder_haplotypes, s.tail, s.valid}) {
        w.put(count);
    }
    for (bool flag : {s.estimated, s.phases_missing, s.complete}) {
        w.put(static_cast<std::uint8_t>(flag ? 1 : 0));
    }
    w.put(s.test);
    put_list(w, s.alleles, [&](const std::vector<AlleleResult>& locus) {
        put_list(w, locus, [&](const AlleleResult& a) {
            w.put(a.name);
            w.put(a.frequency);
        });
    });
    put_list(w, s.haplotypes, [&](const HaplotypeResult& h) {
        w.put(h.number);
        put_values(w, h.alleles);
        put_values(w, h.allele_index);
        for (double value : {h.frequency, h.product, h.frequency_low, h.frequency_high,
                             h.d_prime_low, h.d_prime_high}) {
            w.put(value);
        }
    });
    put_values(w, s.simulated);
    put_values(w, s.hardy_weinberg);
    put_list(w, s.phases, [&](const IndividualPhaseRows& rows) {
        w.put(rows.individual);
        put_list(w, rows.pairs, [&](const PhaseRow& row) {
            w.put(row.haplotype_a);
            w.put(row.haplotype_b);
            w.put(row.posterior);
        });
    });
}

SampleResults get_results(Reader& r) {
    SampleResults s;
    s.name = r.get_string();
    for (std::int32_t* count :
         {&s.announced, &s.individuals, &s.families, &s.singles, &s.absent_parents, &s.loci,
          &s.n_maxima, &s.distinct_maxima, &s.best_maximum_starts, &s.n_simulated,
          &s.bootstrap_replicates, &s.bootstrap_valid}) {
        *count = r.get<std::int32_t>();
    }
    for (double* value : {&s.sample_ln_l, &s.equilibrium_ln_l, &s.maxima_tolerance,
                          &s.overall_d_prime_low, &s.overall_d_prime_high, &s.wn_low, &s.wn_high}) {
        *value = r.get<double>();
    }
    for (std::int64_t* count : {&s.founder_haplotypes, &s.tail, &s.valid}) {
        *count = r.get<std::int64_t>();
    }
    for (bool* flag : {&s.estimated, &s.phases_missing, &s.complete}) {
        *flag = r.get<std::uint8_t>() != 0;
    }
    s.test = r.get<TestStatus>();
    s.alleles = get_list<std::vector<AlleleResult>>(r, [&] {
        return get_list<AlleleResult>(r, [&] {
            AlleleResult a;
            a.name = r.get_string();
            a.frequency = r.get<float>();
            return a;
        });
    });
    s.haplotypes = get_list<HaplotypeResult>(r, [&] {
        HaplotypeResult h;
        h.number = r.get<std::int32_t>();
        h.alleles = get_values<std::string>(r);
        h.allele_index = get_values<std::int32_t>(r);
        for (double* value : {&h.frequency, &h.product, &h.frequency_low, &h.frequency_high,
                              &h.d_prime_low, &h.d_prime_high}) {
            *value = r.get<double>();
        }
        return h;
    });
    s.simulated = get_values<SimulatedResult>(r);
    s.hardy_weinberg = get_values<LocusHardyWeinberg>(r);
    s.phases = get_list<IndividualPhaseRows>(r, [&] {
        IndividualPhaseRows rows;
        rows.individual = r.get_string();
        rows.pairs = get_list<PhaseRow>(r, [&] {
            PhaseRow row;
            row.haplotype_a = r.get_string();
            row.haplotype_b = r.get_string();
            row.posterior = r.get<double>();
            return row;
        });
        return rows;
    });
    return s;
}

} // namespace

std::string encode_observed_job(const ObservedJob& job) {
    Writer w;
    put_sample(w, job.sample);
    w.put(job.announced);
    w.put(job.index);
    w.put(job.options);
    w.put(job.start);
    w.put(job.settings);
    return w.take();
}

ObservedJob decode_observed_job(const std::string& bytes) {
    Reader r(bytes);
    ObservedJob job;
    job.sample = get_sample(r);
    job.announced = r.get<std::int32_t>();
    job.index = r.get<std::int32_t>();
    job.options = r.get<AnalysisOptions>();
    job.start = r.get<RandomState>();
    job.settings = r.get<ObservedSettings>();
    r.expect_end();
    return job;
}

std::string encode_observed_outcome(const ObservedOutcome& outcome) {
    Writer w;
    w.put(outcome.finished);
    w.put(outcome.console);
    put_list(w, outcome.messages.events, [&](const MessageCapture::Event& e) {
        w.put(e.text_before);
        w.put(e.text);
        w.put(e.level);
    });
    w.put(outcome.messages.progress.str());
    w.put(static_cast<std::uint8_t>(outcome.out_of_memory ? 1 : 0));
    w.put(static_cast<std::uint8_t>(outcome.written ? 1 : 0));
    w.put(outcome.report);
    w.put(outcome.errors);
    put_results(w, outcome.results);
    return w.take();
}

ObservedOutcome decode_observed_outcome(const std::string& bytes) {
    Reader r(bytes);
    ObservedOutcome outcome;
    outcome.finished = r.get<RandomState>();
    outcome.console = r.get_string();
    outcome.messages.events = get_list<MessageCapture::Event>(r, [&] {
        MessageCapture::Event e;
        e.text_before = r.get_string();
        e.text = r.get_string();
        e.level = r.get<int>();
        return e;
    });
    outcome.messages.progress.str(r.get_string());
    outcome.out_of_memory = r.get<std::uint8_t>() != 0;
    outcome.written = r.get<std::uint8_t>() != 0;
    outcome.report = r.get_string();
    outcome.errors = r.get_string();
    outcome.results = get_results(r);
    r.expect_end();
    return outcome;
}

std::string pack(const std::vector<std::string>& parts) {
    Writer w;
    put_values(w, parts);
    return w.take();
}

std::vector<std::string> unpack(const std::string& bytes) {
    Reader r(bytes);
    std::vector<std::string> parts = get_values<std::string>(r);
    r.expect_end();
    return parts;
}

} // namespace sample_codec
