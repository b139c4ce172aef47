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

} // namespace sample_codec
