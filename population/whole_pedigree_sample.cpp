#include "population/whole_pedigree_sample.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "io/sample_checks.h"
#include "support/errors.h"
#include "support/memory_limit.h"
#include "support/random.h"

WholePedigreeSample::WholePedigreeSample(const SampleDescription& sample,
                                         const std::string& unknown_parent)
    : _name(sample.name) {
    std::map<std::string, std::int32_t> index;
    for (const SampleRecord& r : sample.records) {
        Person p;
        p.id = r.id;
        for (std::size_t k = 0; k < 2; ++k) {
            p.alleles[k] = split_allele_line(r.allele_lines[k]);
        }
        index.emplace(r.id, static_cast<std::int32_t>(_people.size()));
        _people.push_back(std::move(p));
    }
    // Parents named but absent become untyped founders, in order of first mention.
    for (std::size_t i = 0; i < sample.records.size(); ++i) {
        const SampleRecord& r = sample.records[i];
        for (std::size_t k = 0; k < 2; ++k) {
            const std::string& parent = k == 0 ? r.parent1 : r.parent2;
            if (parent == unknown_parent) {
                continue;
            }
            auto [it, added] = index.emplace(parent, static_cast<std::int32_t>(_people.size()));
            if (added) {
                Person absent;
                absent.id = parent;
                absent.listed = false;
                _people.push_back(std::move(absent));
            }
            (k == 0 ? _people[i].parent1 : _people[i].parent2) = it->second;
            (k == 0 ? _people[i].named_parent1 : _people[i].named_parent2) = true;
        }
    }
}

std::vector<WholeMember> WholePedigreeSample::members(const TAlleleDB& alleles,
                                                      std::int32_t locus) const {
    std::vector<WholeMember> out;
    for (const Person& p : _people) {
        WholeMember m;
        m.name = p.id;
        m.parent1 = p.parent1;
        m.parent2 = p.parent2;
        for (std::size_t k = 0; k < 2; ++k) {
            const std::vector<std::string>& line = p.alleles[k];
            for (std::int32_t l = 0; l < alleles.n_loci(); ++l) {
                if (static_cast<std::size_t>(l) >= line.size() || (locus >= 0 && l != locus) ||
                    line[static_cast<std::size_t>(l)] == kUnknownAllele) {
                    continue;
                }
                const std::size_t to = locus >= 0 ? 0 : static_cast<std::size_t>(l);
                m.alleles[to][k] = alleles.locus(l).find(line[static_cast<std::size_t>(l)]);
            }
        }
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<std::array<std::int32_t, 2>>
WholePedigreeSample::haplotype_alleles(const TPopHaploDB& haplotypes, const TAlleleDB& alleles) {
    std::map<const TAllele*, std::int32_t> index;
    for (std::int32_t l = 0; l < alleles.n_loci(); ++l) {
        for (std::int32_t a = 0; a < alleles.locus(l).size(); ++a) {
            index.emplace(alleles.locus(l).allele(a), a);
        }
    }
    std::vector<std::array<std::int32_t, 2>> out;
    for (std::int32_t h = 0; h < haplotypes.size(); ++h) {
        std::array<std::int32_t, 2> a{0, 0};
        for (std::int32_t l = 0; l < haplotypes[h]->size(); ++l) {
            a[static_cast<std::size_t>(l)] = index.at(haplotypes[h]->allele(l));
        }
        out.push_back(a);
    }
    return out;
}

void WholePedigreeSample::build(WholePedigrees& engine, const TAlleleDB& alleles,
                                const TPopHaploDB& haplotypes, std::int32_t locus,
                                const std::string& sample_name) const {
    const std::size_t limit = memory_limit_bytes() / WholePedigrees::kBytesPerNode;
    try {
        engine.build(members(alleles, locus), haplotype_alleles(haplotypes, alleles),
                     locus >= 0 ? 1 : alleles.n_loci(), limit);
    } catch (const WholePedigrees::LoopFound& loop) {
        std::string names;
        for (const std::string& name : loop.members) {
            names += (names.empty() ? "" : ", ") + name;
        }
        fatal_input_error("TPopPedigree::analyse : sample " + sample_name +
                          " has a pedigree loop through " + names +
                          "; --whole-pedigrees analyses pedigrees without loops");
    } catch (const WholePedigrees::LimitExceeded& e) {
        std::ostringstream text;
        text << "TPopPedigree::analyse : sample " << sample_name << " needs more than "
             << static_cast<std::uint64_t>(e.nodes) << " terms of whole pedigrees, more than the "
             << "memory limit of " << mebibytes(memory_limit_bytes())
             << " (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
        fatal_input_error(text.str());
    }
}

std::string WholePedigreeSample::describe_pedigree(const WholePedigrees& engine,
                                                   std::size_t p) const {
    std::string names;
    for (const std::int32_t m : engine.members_of(p)) {
        if (static_cast<std::size_t>(m) < _people.size() &&
            _people[static_cast<std::size_t>(m)].listed) {
            names += (names.empty() ? "" : ", ") + _people[static_cast<std::size_t>(m)].id;
        }
    }
    return names;
}

SampleDescription WholePedigreeSample::draw(const TPopHaploDB& haplotypes) const {
    // Parents before children: founders in file order, then each member as
    // soon as both its parents are drawn (the analysis refused loops).
    std::vector<std::array<const TPopHaplotype*, 2>> gene(_people.size(), {nullptr, nullptr});
    std::int32_t seed = 1;
    const std::int32_t two = 2;
    // Rounding may leave u above the summed frequencies: draw again, as the
    // nuclear draws do.
    auto founder_copy = [&] {
        const TPopHaplotype* h = nullptr;
        while (h == nullptr) {
            h = haplotypes.draw_le_haplotype(random_uniform(seed));
        }
        return h;
    };
    auto parent_copy = [&](std::int32_t parent) {
        return gene[static_cast<std::size_t>(parent)][static_cast<std::size_t>(random_index(two))];
    };
    std::vector<bool> done(_people.size(), false);
    for (std::size_t i = 0; i < _people.size(); ++i) {
        if (_people[i].parent1 < 0 && _people[i].parent2 < 0) {
            gene[i] = {founder_copy(), founder_copy()};
            done[i] = true;
        }
    }
    for (bool progress = true; progress;) {
        progress = false;
        for (std::size_t i = 0; i < _people.size(); ++i) {
            const Person& p = _people[i];
            auto ready = [&](std::int32_t q) { return q < 0 || done[static_cast<std::size_t>(q)]; };
            if (done[i] || !ready(p.parent1) || !ready(p.parent2)) {
                continue;
            }
            // A parent not known at all is an absent founder of this member's own.
            gene[i][0] = p.parent1 >= 0 ? parent_copy(p.parent1) : founder_copy();
            gene[i][1] = p.parent2 >= 0 ? parent_copy(p.parent2) : founder_copy();
            done[i] = true;
            progress = true;
        }
    }
    SampleDescription out;
    out.name = "(A random sample)";
    for (std::size_t i = 0; i < _people.size(); ++i) {
        const Person& p = _people[i];
        if (!p.listed) {
            continue;
        }
        SampleRecord r;
        r.id = p.id;
        r.parent1 = p.named_parent1 ? _people[static_cast<std::size_t>(p.parent1)].id : "0";
        r.parent2 = p.named_parent2 ? _people[static_cast<std::size_t>(p.parent2)].id : "0";
        for (std::size_t k = 0; k < 2; ++k) {
            for (std::size_t l = 0; l < p.alleles[k].size(); ++l) {
                const bool unknown = p.alleles[k][l] == kUnknownAllele || gene[i][k] == nullptr;
                r.allele_lines[k] += unknown
                                         ? std::string(kUnknownAllele)
                                         : gene[i][k]->allele(static_cast<std::int32_t>(l))->_name;
                r.allele_lines[k] += ' ';
            }
        }
        out.records.push_back(std::move(r));
    }
    return out;
}

namespace {

template <typename P> bool typed(const P& p) {
    for (const auto& line : p.alleles) {
        for (const std::string& a : line) {
            if (a != WholePedigreeSample::kUnknownAllele) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

WholePedigreeSample::NuclearLosses WholePedigreeSample::nuclear_losses() const {
    NuclearLosses losses;
    std::vector<bool> is_parent(_people.size(), false);
    for (const Person& p : _people) {
        if (p.parent1 >= 0 && p.parent2 >= 0) {
            is_parent[static_cast<std::size_t>(p.parent1)] = true;
            is_parent[static_cast<std::size_t>(p.parent2)] = true;
        }
    }
    for (std::size_t i = 0; i < _people.size(); ++i) {
        const Person& p = _people[i];
        if (!p.listed) {
            continue;
        }
        if ((p.parent1 >= 0) != (p.parent2 >= 0)) {
            ++losses.one_parent;
        } else if (p.parent1 >= 0 && is_parent[i] && typed(p)) {
            ++losses.middle;
        }
    }
    return losses;
}

std::string WholePedigreeSample::NuclearLosses::text() const {
    auto count = [](std::int32_t n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    std::string what;
    if (middle > 0) {
        what = count(middle, " typed individual who is both child and parent as an untyped parent",
                     " typed individuals who are both child and parent as untyped parents");
    }
    if (one_parent > 0) {
        what += (what.empty() ? "" : ", and ") +
                count(one_parent, " individual with one known parent",
                      " individuals with one known parent") +
                " as unrelated to that parent";
    }
    return "the nuclear-family model takes " + what +
           "; --whole-pedigrees gives the joint likelihood of whole pedigrees";
}
