#pragma once

#include <cstdint>
#include <vector>

// The maxima the EM runs of one estimation reached, told apart by their
// frequencies rather than by their log-likelihoods: two runs reached the same
// maximum when no haplotype frequency differs by more than kTolerance. A
// log-likelihood held in single precision can split one maximum into
// neighbouring values, or merge two distinct maxima of equal height.
class MaximaTally {
  public:
    static constexpr double kTolerance = 1e-3;

    void clear();
    // The final frequencies of the next run; `new_best`: the estimation took
    // this run as its best so far.
    void add(const std::vector<double>& frequencies, bool new_best);

    std::int32_t distinct() const { return static_cast<std::int32_t>(_maxima.size()); }
    // Runs that reached the maximum the estimation kept (0 without runs).
    std::int32_t best_starts() const;

  private:
    struct Maximum {
        std::vector<double> frequencies; // of the first run that reached it
        std::int32_t starts = 0;
    };
    std::vector<Maximum> _maxima;
    std::int32_t _best = -1;
};
