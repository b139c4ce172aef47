#include "datatool/family_check.h"

#include <algorithm>
#include <unordered_map>

#include "pedigree/ped_db.h"
#include "population/pop_pedigree.h"

namespace {

std::vector<std::string> alleles_of(const std::string& line) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        names.push_back(line.substr(at, end - at));
        at = end;
    }
    return names;
}

std::string genotype_text(const SampleRecord& r) {
    const std::vector<std::string> a = alleles_of(r.allele_lines[0]);
    const std::vector<std::string> b = alleles_of(r.allele_lines[1]);
    std::string text;
    for (std::size_t l = 0; l < a.size() && l < b.size(); ++l) {
        text += (l == 0 ? "" : " ") + a[l] + "/" + b[l];
    }
    return text;
}

// Pedigrees (by position) with no genotypic combination after a build.
std::vector<bool> without_combinations(const TPedDB& peds) {
    std::vector<bool> empty;
    for (const TPedigree& p : peds._pedigrees) {
        empty.push_back(p._gen_comb.empty() && !p._released);
    }
    return empty;
}

// Longest chain of parent and child (an individual with an unknown parent
// starts a chain, as it has no parents for the analysis). The walk keeps its
// own stack, as a pedigree may be deeper than the call stack; a cycle in the
// file is cut where the walk meets it again.
std::int32_t count_generations(const TPhenPedDB& db) {
    std::unordered_map<const TPhenPed*, std::int32_t> depth; // 0: being walked
    auto parents = [&](const TPhenPed* x) {
        std::vector<const TPhenPed*> found;
        if (!db.is_unknown(x->_parent1_id) && !db.is_unknown(x->_parent2_id)) {
            for (const std::string* id : {x->_parent1_id, x->_parent2_id}) {
                if (const TPhenPed* parent = db.find(id)) {
                    found.push_back(parent);
                }
            }
        }
        return found;
    };
    std::int32_t most = 0;
    std::vector<const TPhenPed*> stack;
    for (const auto& record : db.records()) {
        stack.push_back(record.get());
        while (!stack.empty()) {
            const TPhenPed* x = stack.back();
            const auto [at, first_visit] = depth.emplace(x, 0);
            if (!first_visit && at->second > 0) {
                stack.pop_back();
                continue;
            }
            const std::vector<const TPhenPed*> up = parents(x);
            bool waiting = false;
            for (const TPhenPed* p : up) {
                if (first_visit && depth.count(p) == 0) {
                    stack.push_back(p);
                    waiting = true;
                }
            }
            if (waiting) {
                continue;
            }
            std::int32_t d = 1;
            for (const TPhenPed* p : up) {
                const auto known = depth.find(p);
                d = std::max(d, (known == depth.end() ? 0 : known->second) + 1);
            }
            depth[x] = d;
            most = std::max(most, d);
            stack.pop_back();
        }
    }
    return most;
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
    TPopPedigree pop(sample.name, {.engine = EngineKind::listed});
    pop.load_sample(sample);
    std::unordered_map<std::string, const SampleRecord*> record_of;
    for (const SampleRecord& r : sample.records) {
        record_of[r.id] = &r;
    }
    pop.set_pseudo_haplotypes(pop.PhenPedDB, ' ');
    pop.PhenPedDB.add_missing_parents();
    check.absent_parents = pop.PhenPedDB.size() - sample.records.size();
    check.generations = count_generations(pop.PhenPedDB);

    // Allele counts in the order the report lists the alleles.
    const TAlleleDB& alleles = pop.AlleleDB;
    check.alleles.resize(static_cast<std::size_t>(alleles.n_loci()));
    for (std::int32_t k = 0; k < alleles.n_loci(); ++k) {
        for (std::int32_t j = 0; j < alleles.locus(k).size(); ++j) {
            check.alleles[static_cast<std::size_t>(k)].emplace_back(
                alleles.locus(k).allele(j)->_name, 0);
        }
    }
    for (const SampleRecord& r : sample.records) {
        for (const std::string& line : r.allele_lines) {
            const std::vector<std::string> names = alleles_of(line);
            for (std::size_t k = 0; k < names.size() && k < check.alleles.size(); ++k) {
                for (auto& [name, count] : check.alleles[k]) {
                    count += name == names[k] ? 1 : 0;
                }
            }
        }
    }

    // The same steps as the analysis: each locus alone, then both.
    pop.AlleleDB.add_to_all_loci(TAllele{"#", 1.0F});
    pop.check_table_sizes();
    // The table of all pairs of haplotypes only where some family needs it.
    const bool pair_table = pop.needs_pair_table();
    std::vector<std::vector<bool>> locus_failures;
    for (std::int32_t k = 0; k < pop.AlleleDB.n_loci(); ++k) {
        TPopHaploDB locus_haplotypes;
        locus_haplotypes.build_locus_haplotypes(pop.AlleleDB, k);
        TSmallGenDB locus_genotypes;
        if (pair_table) {
            locus_genotypes.build_all_valid_gen(locus_haplotypes);
        }
        TPedDB locus_peds;
        locus_peds._sample_name = pop.Name;
        locus_peds._release_combinations = true;
        locus_peds.build_pedigree_structures(pop.PhenPedDB);
        locus_peds.build_all_genotypic_combinations(locus_haplotypes, locus_genotypes, k, 0);
        locus_failures.push_back(without_combinations(locus_peds));
        pop.PhenPedDB.reset_parent_flags();
    }
    pop.HaplDB.build_all_haplotypes(pop.AlleleDB);
    if (pair_table) {
        pop.SmallGenDB.build_all_valid_gen(pop.HaplDB);
    }
    pop.build_pedigrees();
    pop.PedDB.build_all_genotypic_combinations(pop.HaplDB, pop.SmallGenDB, -1, 0);
    const std::vector<bool> failures = without_combinations(pop.PedDB);

    auto member = [&](const std::string& role, const TPhenPed& x) {
        FamilyMember m{role, *x._id, 0, ""};
        const auto it = record_of.find(*x._id);
        if (it != record_of.end()) {
            m.line = it->second->line;
            m.genotype = genotype_text(*it->second);
        }
        return m;
    };
    for (std::size_t i = 0; i < pop.PedDB._pedigrees.size(); ++i) {
        const TPedigree& p = pop.PedDB._pedigrees[i];
        if (p._parent2 == nullptr) {
            ++check.singles;
        } else {
            ++check.families_by_sibs[p._sibs.size()];
        }
        if (!failures[i]) {
            continue;
        }
        IncompatibleFamily family;
        family.members.push_back(member("parent", *p._parent1->_phen));
        if (p._parent2 != nullptr) {
            family.members.push_back(member("parent", *p._parent2->_phen));
        }
        for (const TPhenPed* sib : p._sibs) {
            family.members.push_back(member("sib", *sib));
        }
        for (std::size_t k = 0; k < locus_failures.size(); ++k) {
            if (locus_failures[k][i]) {
                family.failing_loci.push_back(static_cast<std::int32_t>(k + 1));
            }
        }
        check.incompatible.push_back(std::move(family));
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
