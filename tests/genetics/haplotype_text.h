// Building and printing haplotypes from allele objects, for the genetics tests.
#pragma once

#include <sstream>
#include <string>

#include "genetics/haplotype.h"

inline TPopHaplotype hap(TAllele* a, TAllele* b = nullptr) {
    TPopHaplotype h;
    h.append(a);
    if (b != nullptr) {
        h.append(b);
    }
    return h;
}

inline std::string text(const TPopHaplotype& h) {
    std::ostringstream os;
    os << h;
    return os.str();
}
