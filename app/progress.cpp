#include "app/progress.h"

#include <algorithm>

#include "support/display_text.h"

namespace {

// Redrawing more often than this only costs time on a slow terminal.
constexpr std::int64_t kRedrawMs = 200;

} // namespace

Progress::Progress(std::ostream& os, bool terminal, Clock clock)
    : _os(os), _terminal(terminal), _clock(std::move(clock)) {}

std::string Progress::duration(std::int64_t ms) {
    const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
    const std::int64_t h = seconds / 3600;
    const std::int64_t m = seconds / 60 % 60;
    const std::int64_t s = seconds % 60;
    auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return h > 0 ? std::to_string(h) + ":" + two(m) + ":" + two(s)
                 : std::to_string(m) + ":" + two(s);
}

void Progress::start(const std::string& sample, std::int32_t total) {
    _sample = sample;
    _total = total;
    _started = _clock();
    _shown = _started - kRedrawMs;
    if (_terminal && total > 0) {
        show(0);
    }
}

void Progress::advance(std::int32_t done) {
    if (!_terminal || _total <= 0) {
        return;
    }
    const std::int64_t now = _clock();
    if (now - _shown >= kRedrawMs || done == _total) {
        _shown = now;
        show(done);
    }
}

void Progress::show(std::int32_t done) {
    const std::int64_t elapsed = _clock() - _started;
    std::string line = "Sample " + display_text::for_terminal(_sample) + ": simulated " +
                       std::to_string(done) + " of " + std::to_string(_total) + ", " +
                       duration(elapsed) + " elapsed";
    if (done > 0) {
        const std::int64_t left = elapsed * (_total - done) / done;
        line += ", about " + duration(left) + " left";
    }
    const std::size_t width = line.size();
    line.append(_width > width ? _width - width : 0, ' ');
    _width = width;
    _os << '\r' << line << std::flush;
}

void Progress::finish() {
    if (_terminal && _width > 0) {
        _os << '\r' << std::string(_width, ' ') << '\r' << std::flush;
    }
    _width = 0;
}
