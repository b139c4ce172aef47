#include "pedigree/likelihood_engine.h"

#include "pedigree/listed_engine.h"
#include "pedigree/summed_engine.h"

std::unique_ptr<LikelihoodEngine> make_engine(EngineKind kind) {
    if (kind == EngineKind::listed) {
        return std::make_unique<ListedEngine>();
    }
    return std::make_unique<SummedEngine>();
}
