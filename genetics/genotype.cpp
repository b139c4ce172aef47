#include "genetics/genotype.h"

std::ostream& operator<<(std::ostream& os, const TGenotype& g) {
    os << g._gen_freq << "\n\t" << *g._hapl1 << "\n"
       << "\t" << *g._hapl2 << "\n";
    return os;
}
