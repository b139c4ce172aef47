#include "datatool/family_check.h"

#include <algorithm>
#include <unordered_map>

#include "io/sample_checks.h"
#include "population/sample_families.h"
#include "population/whole_pedigree_sample.h"

namespace {

std::string genotype_text(const SampleRecord& r) {
    const std::vector<std::string> a = split_allele_line(r.allele_lines[0]);
    const std::vector<std::string> b = split_allele_line(r.allele_lines[1]);
    std::string text;
    for (std::size_t l = 0; l < a.size() && l < b.size(); ++l) {
        text += (l == 0 ? "" : " ") + a[l] + "/" + b[l];
    }
    return text;
}

// Longest chain of parent and child (an individual with an unknown parent
// starts a chain, as it has no parents for the analysis; an absent parent is
// a chain of one). The walk keeps its own stack, as a pedigree may be deeper
// than the call stack; a cycle in the file is cut where the walk meets it again.
std::int32_t count_generations(const SampleDescription& sample) {
    constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);
    const std::vector<SampleRecord>& records = sample.records;
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < records.size(); ++i) {
        index.emplace(records[i].id, i);
    }
    auto parents = [&](std::size_t i) {
        std::vector<std::size_t> found;
        const SampleRecord& r = records[i];
        if (r.parent1 != "0" && r.parent2 != "0") {
            for (const std::string* id : {&r.parent1, &r.parent2}) {
                const auto it = index.find(*id);
                found.push_back(it == index.end() ? kAbsent : it->second);
            }
        }
        return found;
    };
    std::vector<std::int32_t> depth(records.size(), -1); // -1: not seen, 0: being walked
    std::int32_t most = 0;
    std::vector<std::size_t> stack;
    // Newest record first, the order in which the analysis holds them.
    for (std::size_t start = records.size(); start-- > 0;) {
        stack.push_back(start);
        while (!stack.empty()) {
            const std::size_t x = stack.back();
            const bool first_visit = depth[x] < 0;
            if (!first_visit && depth[x] > 0) {
                stack.pop_back();
                continue;
            }
            depth[x] = 0;
            const std::vector<std::size_t> up = parents(x);
            bool waiting = false;
            for (const std::size_t p : up) {
                if (first_visit && p != kAbsent && depth[p] < 0) {
                    stack.push_back(p);
                    waiting = true;
                }
            }
            if (waiting) {
                continue;
            }
            std::int32_t d = 1;
            for (const std::size_t p : up) {
                d = std::max(d, (p == kAbsent ? 1 : std::max(depth[p], 0)) + 1);
            }
            depth[x] = d;
            most = std::max(most, d);
            stack.pop_back();
        }
    }
    return most;
}

bool has_unknown_allele(const SampleRecord& r) {
    for (const std::string& line : r.allele_lines) {
        const std::vector<std::string> pieces = split_allele_line(line);
        if (std::find(pieces.begin(), pieces.end(), WholePedigreeSample::kUnknownAllele) !=
            pieces.end()) {
            return true;
        }
    }
    return false;
}

// Appends the known alleles that only individuals with an unknown allele
// carry, in the order the analysis meets them (newest record first).
void add_unlisted_alleles(std::vector<std::vector<std::string>>& alleles,
                          const SampleDescription& sample) {
    for (auto r = sample.records.rbegin(); r != sample.records.rend(); ++r) {
        for (const std::string& line : r->allele_lines) {
            const std::vector<std::string> pieces = split_allele_line(line);
            if (alleles.size() < pieces.size()) {
                alleles.resize(pieces.size());
            }
            for (std::size_t l = 0; l < pieces.size(); ++l) {
                auto& listed = alleles[l];
                if (pieces[l] != WholePedigreeSample::kUnknownAllele &&
                    std::find(listed.begin(), listed.end(), pieces[l]) == listed.end()) {
                    listed.push_back(pieces[l]);
                }
            }
        }
    }
}

} // namespace

SampleCheck check_sample(const SampleDescription& sample) {
    SampleCheck check;
    check.name = sample.name;
    check.announced = sample.announced;
    check.individuals = sample.records.size();
    if (sample.records.empty()) {
        return check;
    }
    const FamilyStructure structure = family_structure(sample);
    check.absent_parents = structure.absent_parents;
    check.families_by_sibs = structure.families_by_sibs;
    check.singles = structure.singles;
    check.generations = count_generations(sample);
    const auto losses = WholePedigreeSample(sample, "0").nuclear_losses();
    if (losses.middle > 0 || losses.one_parent > 0) {
        check.nuclear_losses = losses.text();
    }
    SampleDescription known = sample;
    std::erase_if(known.records, [](const SampleRecord& r) { return has_unknown_allele(r); });
    check.with_unknown_alleles = sample.records.size() - known.records.size();
    CombinationCheck combinations;
    if (!known.records.empty()) {
        combinations = families_without_combinations(known);
    }
    add_unlisted_alleles(combinations.alleles, sample);

    // Allele counts in the order the report lists the alleles.
    for (const std::vector<std::string>& names : combinations.alleles) {
        auto& counted = check.alleles.emplace_back();
        for (const std::string& name : names) {
            counted.emplace_back(name, 0);
        }
    }
    std::unordered_map<std::string, const SampleRecord*> record_of;
    for (const SampleRecord& r : sample.records) {
        record_of[r.id] = &r;
        for (const std::string& line : r.allele_lines) {
            const std::vector<std::string> names = split_allele_line(line);
            for (std::size_t k = 0; k < names.size() && k < check.alleles.size(); ++k) {
                for (auto& [name, count] : check.alleles[k]) {
                    count += name == names[k] ? 1 : 0;
                }
            }
        }
    }

    auto member = [&](const std::string& role, const std::string& id) {
        FamilyMember m{role, id, 0, ""};
        const auto it = record_of.find(id);
        if (it != record_of.end()) {
            m.line = it->second->line;
            m.genotype = genotype_text(*it->second);
        }
        return m;
    };
    for (const FamilyWithoutCombination& found : combinations.families) {
        IncompatibleFamily& family = check.incompatible.emplace_back();
        for (const std::string& parent : found.parents) {
            family.members.push_back(member("parent", parent));
        }
        for (const std::string& sib : found.sibs) {
            family.members.push_back(member("sib", sib));
        }
        family.failing_loci = found.failing_loci;
    }
    // In file order: the pedigrees are built from the last record to the first.
    auto first_line = [](const IncompatibleFamily& f) {
        std::int64_t line = 0;
        for (const FamilyMember& m : f.members) {
            line = m.line != 0 && (line == 0 || m.line < line) ? m.line : line;
        }
        return line;
    };
    std::stable_sort(check.incompatible.begin(), check.incompatible.end(),
                     [&](const IncompatibleFamily& a, const IncompatibleFamily& b) {
                         return first_line(a) < first_line(b);
                     });
    return check;
}

void print_sample_check(std::ostream& os, const SampleCheck& c, std::size_t number) {
    os << "Sample " << number << ": " << c.name << "\n"
       << "  Individuals: " << c.individuals;
    if (static_cast<std::int64_t>(c.individuals) != c.announced) {
        os << " (" << c.announced << " announced)";
    }
    std::size_t families = 0;
    for (const auto& [sibs, count] : c.families_by_sibs) {
        families += count;
    }
    os << "\n  Absent parents (named by their children only): " << c.absent_parents << "\n"
       << "  Families: " << families;
    const char* separator = " (";
    for (const auto& [sibs, count] : c.families_by_sibs) {
        os << separator << count << " with " << sibs << (sibs == 1 ? " sib" : " sibs");
        separator = ", ";
    }
    os << (families > 0 ? ")" : "") << "\n"
       << "  Singles: " << c.singles << "\n"
       << "  Generations: " << c.generations << "\n";
    if (!c.nuclear_losses.empty()) {
        os << "  Note: " << c.nuclear_losses << "\n";
    }
    if (c.with_unknown_alleles > 0) {
        os << "  Individuals with unknown alleles (?): " << c.with_unknown_alleles << "\n"
           << "  Note: only tovaquor --whole-pedigrees reads unknown alleles; the check of "
              "families below leaves these individuals out, as if absent, so it misses a family "
              "that only their alleles contradict\n";
    }
    for (std::size_t k = 0; k < c.alleles.size(); ++k) {
        os << "  Locus " << k + 1 << ": " << c.alleles[k].size()
           << (c.alleles[k].size() == 1 ? " allele:" : " alleles:");
        const char* separator = " ";
        for (const auto& [name, count] : c.alleles[k]) {
            os << separator << name << " (" << count << ")";
            separator = ", ";
        }
        os << "\n";
    }
    os << "  Incompatible families: " << c.incompatible.size() << "\n";
    for (const IncompatibleFamily& f : c.incompatible) {
        os << "  - family of " << f.members[0].id;
        if (f.members.size() > 1 && f.members[1].role == "parent") {
            os << " and " << f.members[1].id;
        }
        if (f.failing_loci.empty()) {
            os << ": each locus alone fits, the two-locus haplotypes do not\n";
        } else {
            os << ": fails at locus " << f.failing_loci[0];
            for (std::size_t k = 1; k < f.failing_loci.size(); ++k) {
                os << " and at locus " << f.failing_loci[k];
            }
            os << "\n";
        }
        std::size_t width = 0;
        for (const FamilyMember& m : f.members) {
            width = std::max(width, m.id.size());
        }
        for (const FamilyMember& m : f.members) {
            os << "      " << m.role << (m.role == "sib" ? "    " : " ") << m.id
               << std::string(width - m.id.size() + 2, ' ');
            if (m.line == 0) {
                os << "absent (untyped)\n";
            } else {
                os << "line " << m.line << ": " << m.genotype << "\n";
            }
        }
    }
}
