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

std::string encode_jobs(std::int32_t n_initial, const std::vector<const SimulatedSample*>& jobs) {
    Writer w;
    w.put(n_initial);
    w.put(static_cast<std::uint64_t>(jobs.size()));
    for (const SimulatedSample* job : jobs) {
        put_sample(w, job->sample);
        w.put(job->options);
        w.put(job->start);
    }
    return w.take();
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

} // namespace sample_codec
