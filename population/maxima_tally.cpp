#include "population/maxima_tally.h"

#include <cmath>

void MaximaTally::clear() {
    _maxima.clear();
    _best = -1;
}

void MaximaTally::add(const std::vector<double>& frequencies, bool new_best) {
    auto same = [&](const Maximum& m) {
        for (std::size_t h = 0; h < frequencies.size(); ++h) {
            if (!(std::fabs(frequencies[h] - m.frequencies[h]) <= kTolerance)) {
                return false;
            }
        }
        return true;
    };
    std::size_t i = 0;
    while (i < _maxima.size() && !same(_maxima[i])) {
        ++i;
    }
    if (i == _maxima.size()) {
        _maxima.push_back({frequencies, 0});
    }
    ++_maxima[i].starts;
    if (new_best) {
        _best = static_cast<std::int32_t>(i);
    }
}

std::int32_t MaximaTally::best_starts() const {
    return _best < 0 ? 0 : _maxima[static_cast<std::size_t>(_best)].starts;
}
