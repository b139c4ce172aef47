#include "pedigree/likelihood_engine.h"

#include <cmath>

#include "pedigree/listed_engine.h"
#include "pedigree/summed_engine.h"

std::unique_ptr<LikelihoodEngine> make_engine(EngineKind kind) {
    if (kind == EngineKind::listed) {
        return std::make_unique<ListedEngine>();
    }
    return std::make_unique<SummedEngine>();
}

bool LikelihoodEngine::converged(const std::vector<double>& frequencies,
                                 std::vector<double>& previous, double tolerance) {
    double change = 0.0;
    for (std::size_t h = 0; h < frequencies.size(); ++h) {
        change += std::fabs(frequencies[h] - previous[h]);
        previous[h] = frequencies[h];
    }
    return change < tolerance;
}
