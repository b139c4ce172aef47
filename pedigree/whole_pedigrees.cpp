#include "pedigree/whole_pedigrees.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <numeric>
#include <stdexcept>
#include <utility>

bool WholeMember::typed(std::int32_t n_loci) const {
    for (std::int32_t l = 0; l < n_loci; ++l) {
        for (const std::int32_t a : alleles[static_cast<std::size_t>(l)]) {
            if (a != kUnknown) {
                return true;
            }
        }
    }
    return false;
}

namespace {

// A slot: per locus an allele index plus one (0: any allele), and whether the
// founder draw of the slot is already in the term.
using Slot = std::uint64_t;
constexpr std::uint32_t kLocusBits = 30;
constexpr Slot kLocusMask = (Slot{1} << kLocusBits) - 1;
constexpr Slot kDrawn = Slot{1} << (2 * kLocusBits);
constexpr Slot kAny = 0;

Slot allele_at(Slot s, std::int32_t locus) {
    return (s >> (kLocusBits * locus)) & kLocusMask;
}

// The intersection of two slots' patterns; false when they exclude each other.
bool meet(Slot a, Slot b, Slot& out) {
    if ((a & kDrawn) != 0 && (b & kDrawn) != 0) {
        // Each founder draw enters once: peeling a tree never meets two.
        throw std::logic_error("WholePedigrees: a slot drawn twice");
    }
    out = (a | b) & kDrawn;
    for (std::int32_t l = 0; l < 2; ++l) {
        const Slot x = allele_at(a, l);
        const Slot y = allele_at(b, l);
        if (x != 0 && y != 0 && x != y) {
            return false;
        }
        out |= (x != 0 ? x : y) << (kLocusBits * l);
    }
    return true;
}

struct Entry {
    std::array<Slot, 2> s;
    std::uint32_t node;
};

struct Config {
    std::array<Slot, 4> s;
    std::uint32_t node;
};

} // namespace

class WholePedigrees::Builder {
  public:
    Builder(WholePedigrees& out, const std::vector<std::array<std::int32_t, 2>>& haplotypes,
            std::int32_t n_loci, std::size_t limit)
        : _out(out), _haplotypes(haplotypes), _n_loci(n_loci), _limit(limit) {
        _out._begin.push_back(0);
        _one = constant(1.0);
    }

    std::uint32_t one() const { return _one; }

    std::uint32_t constant(double c) {
        const auto found = _constants.find(c);
        if (found != _constants.end()) {
            return found->second;
        }
        const std::uint32_t n = add_node(kProduct, c, {});
        _constants.emplace(c, n);
        return n;
    }

    std::uint32_t product(double coef, std::initializer_list<std::uint32_t> inputs) {
        _scratch.clear();
        for (const std::uint32_t i : inputs) {
            if (i != _one) {
                _scratch.push_back(i);
            }
        }
        if (_scratch.empty()) {
            return constant(coef);
        }
        if (coef == 1.0 && _scratch.size() == 1) {
            return _scratch[0];
        }
        return add_node(kProduct, coef, _scratch);
    }

    std::uint32_t sum(const std::vector<std::uint32_t>& inputs) {
        if (inputs.size() == 1) {
            return inputs[0];
        }
        return add_node(kSum, 1.0, inputs);
    }

    // A slot summed over the haplotypes: the summed frequency of its pattern
    // when its draw is in, else the number of haplotypes it allows.
    std::uint32_t sum_out(Slot s) {
        const auto found = _leaves.find(s);
        if (found != _leaves.end()) {
            return found->second;
        }
        const Slot pattern = s & ~kDrawn;
        std::vector<std::uint32_t> matching;
        for (std::size_t h = 0; h < _haplotypes.size(); ++h) {
            if (matches(pattern, h)) {
                matching.push_back(static_cast<std::uint32_t>(h));
            }
        }
        const std::uint32_t n = (s & kDrawn) != 0 ? add_node(kLeaf, 1.0, matching)
                                                  : constant(static_cast<double>(matching.size()));
        _leaves.emplace(s, n);
        return n;
    }

    // The phenotype of `m` as a function of its two slots: per locus the
    // ordered allele pairs that make its unordered typing, `?` as any allele
    // (a known allele beside `?` by inclusion and exclusion: (a,*) + (*,a) - (a,a)).
    std::vector<Entry> phenotype(const WholeMember& m) {
        struct Term {
            Slot x;
            Slot y;
            double coef;
        };
        std::vector<Term> terms{{0, 0, 1.0}};
        for (std::int32_t l = 0; l < _n_loci; ++l) {
            const auto& pair = m.alleles[static_cast<std::size_t>(l)];
            const Slot a = pair[0] == WholeMember::kUnknown ? 0 : Slot(pair[0]) + 1;
            const Slot b = pair[1] == WholeMember::kUnknown ? 0 : Slot(pair[1]) + 1;
            std::vector<Term> locus;
            if (a != 0 && b != 0) {
                locus.push_back({a, b, 1.0});
                if (a != b) {
                    locus.push_back({b, a, 1.0});
                }
            } else if (a != 0 || b != 0) {
                const Slot k = a != 0 ? a : b;
                locus = {{k, 0, 1.0}, {0, k, 1.0}, {k, k, -1.0}};
            } else {
                locus.push_back({0, 0, 1.0});
            }
            std::vector<Term> next;
            for (const Term& t : terms) {
                for (const Term& u : locus) {
                    next.push_back({t.x | (u.x << (kLocusBits * l)),
                                    t.y | (u.y << (kLocusBits * l)), t.coef * u.coef});
                }
            }
            terms = std::move(next);
        }
        std::vector<Entry> out;
        for (const Term& t : terms) {
            out.push_back({{t.x, t.y}, constant(t.coef)});
        }
        return out;
    }

    std::vector<Entry> multiply(const std::vector<Entry>& a, const std::vector<Entry>& b) {
        std::vector<Entry> out;
        for (const Entry& x : a) {
            for (const Entry& y : b) {
                Entry e{};
                if (meet(x.s[0], y.s[0], e.s[0]) && meet(x.s[1], y.s[1], e.s[1])) {
                    e.node = product(1.0, {x.node, y.node});
                    out.push_back(e);
                }
            }
        }
        merge(out);
        return out;
    }

    template <typename T> void merge(std::vector<T>& items) {
        // Stable, so that equal terms are summed in the order they were formed.
        std::stable_sort(items.begin(), items.end(),
                         [](const T& a, const T& b) { return a.s < b.s; });
        std::size_t out = 0;
        std::vector<std::uint32_t> group;
        for (std::size_t i = 0; i < items.size();) {
            std::size_t j = i;
            group.clear();
            while (j < items.size() && items[j].s == items[i].s) {
                group.push_back(items[j].node);
                ++j;
            }
            items[out] = items[i];
            items[out].node = sum(group);
            ++out;
            i = j;
        }
        items.resize(out);
    }

    void check_limit(std::size_t pending) const {
        if (_out._kind.size() + pending > _limit) {
            throw LimitExceeded{static_cast<double>(_out._kind.size() + pending)};
        }
    }

  private:
    bool matches(Slot pattern, std::size_t h) const {
        for (std::int32_t l = 0; l < _n_loci; ++l) {
            const Slot a = allele_at(pattern, l);
            if (a != 0 && a != Slot(_haplotypes[h][static_cast<std::size_t>(l)]) + 1) {
                return false;
            }
        }
        return true;
    }

    std::uint32_t add_node(Kind kind, double coef, const std::vector<std::uint32_t>& operands) {
        check_limit(1);
        _out._kind.push_back(kind);
        _out._coef.push_back(coef);
        _out._operands.insert(_out._operands.end(), operands.begin(), operands.end());
        _out._begin.push_back(static_cast<std::uint32_t>(_out._operands.size()));
        return static_cast<std::uint32_t>(_out._kind.size() - 1);
    }

    WholePedigrees& _out;
    const std::vector<std::array<std::int32_t, 2>>& _haplotypes;
    std::int32_t _n_loci;
    std::size_t _limit;
    std::uint32_t _one = 0;
    std::map<double, std::uint32_t> _constants;
    std::map<Slot, std::uint32_t> _leaves;
    std::vector<std::uint32_t> _scratch;
};

namespace {

// Individuals and nuclear families as one graph: members 0 .. n-1, then the
// families; a family links its two parents and its children.
struct FamilyGraph {
    std::int32_t n_members = 0;
    std::vector<std::array<std::int32_t, 2>> parents;  // by family
    std::vector<std::vector<std::int32_t>> children;   // by family
    std::vector<std::vector<std::int32_t>> neighbours; // by graph node

    bool is_family(std::int32_t node) const { return node >= n_members; }
    std::int32_t family(std::int32_t node) const { return node - n_members; }
};

// Union-find over the graph's nodes, to catch the edge that closes a cycle.
struct Components {
    std::vector<std::int32_t> up;
    explicit Components(std::size_t n) : up(n) { std::iota(up.begin(), up.end(), 0); }
    std::int32_t find(std::int32_t x) {
        while (up[static_cast<std::size_t>(x)] != x) {
            up[static_cast<std::size_t>(x)] =
                up[static_cast<std::size_t>(up[static_cast<std::size_t>(x)])];
            x = up[static_cast<std::size_t>(x)];
        }
        return x;
    }
};

// The members on the path from `from` to `to` in the edges added so far.
std::vector<std::int32_t> path_between(const FamilyGraph& g, std::int32_t from, std::int32_t to) {
    std::vector<std::int32_t> before(g.neighbours.size(), -2);
    std::deque<std::int32_t> queue{from};
    before[static_cast<std::size_t>(from)] = -1;
    while (!queue.empty()) {
        const std::int32_t x = queue.front();
        queue.pop_front();
        if (x == to) {
            break;
        }
        for (const std::int32_t y : g.neighbours[static_cast<std::size_t>(x)]) {
            if (before[static_cast<std::size_t>(y)] == -2) {
                before[static_cast<std::size_t>(y)] = x;
                queue.push_back(y);
            }
        }
    }
    std::vector<std::int32_t> path;
    for (std::int32_t x = to; x >= 0; x = before[static_cast<std::size_t>(x)]) {
        if (!g.is_family(x)) {
            path.push_back(x);
        }
    }
    std::reverse(path.begin(), path.end());
    return path;
}

} // namespace

void WholePedigrees::build(const std::vector<WholeMember>& given,
                           const std::vector<std::array<std::int32_t, 2>>& haplotypes,
                           std::int32_t n_loci, std::size_t node_limit) {
    _kind.clear();
    _coef.clear();
    _begin.clear();
    _operands.clear();
    _pedigrees.clear();
    _n_haplotypes = haplotypes.size();
    _founder_haplotypes = 0.0;

    // A member with one known parent gets an absent founder of its own as the other.
    std::vector<WholeMember> members = given;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const bool known1 = given[i].parent1 != WholeMember::kUnknown;
        const bool known2 = given[i].parent2 != WholeMember::kUnknown;
        if (known1 != known2) {
            WholeMember absent;
            absent.name = "(absent parent of " + given[i].name + ")";
            (known1 ? members[i].parent2 : members[i].parent1) =
                static_cast<std::int32_t>(members.size());
            members.push_back(absent);
        }
    }

    FamilyGraph g;
    g.n_members = static_cast<std::int32_t>(members.size());
    std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> family_of;
    for (std::int32_t i = 0; i < g.n_members; ++i) {
        const WholeMember& m = members[static_cast<std::size_t>(i)];
        if (m.parent1 == WholeMember::kUnknown) {
            continue;
        }
        const auto key = std::minmax(m.parent1, m.parent2);
        auto [it, added] = family_of.emplace(key, static_cast<std::int32_t>(g.parents.size()));
        if (added) {
            g.parents.push_back({m.parent1, m.parent2});
            g.children.emplace_back();
        }
        g.children[static_cast<std::size_t>(it->second)].push_back(i);
    }
    const auto n_nodes = static_cast<std::size_t>(g.n_members) + g.parents.size();
    g.neighbours.assign(n_nodes, {});
    Components components(n_nodes);
    auto link = [&](std::int32_t a, std::int32_t b) {
        const std::int32_t ra = components.find(a);
        const std::int32_t rb = components.find(b);
        if (ra == rb) {
            LoopFound loop;
            for (const std::int32_t x : path_between(g, a, b)) {
                loop.members.push_back(members[static_cast<std::size_t>(x)].name);
            }
            throw loop;
        }
        components.up[static_cast<std::size_t>(ra)] = rb;
        g.neighbours[static_cast<std::size_t>(a)].push_back(b);
        g.neighbours[static_cast<std::size_t>(b)].push_back(a);
    };
    for (std::size_t f = 0; f < g.parents.size(); ++f) {
        const auto node = static_cast<std::int32_t>(static_cast<std::size_t>(g.n_members) + f);
        for (const std::int32_t p : g.parents[f]) {
            link(p, node);
        }
        for (const std::int32_t c : g.children[f]) {
            link(node, c);
        }
    }

    Builder b(*this, haplotypes, n_loci, node_limit);
    std::vector<std::vector<Entry>> message(n_nodes);
    std::vector<std::int32_t> tree_parent(n_nodes, -1);
    std::vector<bool> seen(n_nodes, false);
    const Entry prior{{kDrawn, kDrawn}, b.one()};

    // A member's function: its phenotype, its founder draws, and the
    // messages of its families other than `skip`.
    auto member_function = [&](std::int32_t m, std::int32_t skip) {
        const WholeMember& x = members[static_cast<std::size_t>(m)];
        std::vector<Entry> fn = b.phenotype(x);
        if (x.parent1 == WholeMember::kUnknown) {
            fn = b.multiply(fn, {prior});
        }
        for (const std::int32_t f : g.neighbours[static_cast<std::size_t>(m)]) {
            if (f != skip) {
                fn = b.multiply(fn, message[static_cast<std::size_t>(f)]);
            }
        }
        return fn;
    };

    // A family's message to its pivot (the member toward the root): the
    // other parent's function (or both parents'), each other child's in turn.
    auto family_message = [&](std::int32_t node, std::int32_t pivot) {
        const std::size_t f = static_cast<std::size_t>(g.family(node));
        const auto& [p1, p2] = g.parents[f];
        const bool pivot_is_parent = pivot == p1 || pivot == p2;
        std::vector<Config> configs;
        if (pivot_is_parent) {
            for (const Entry& e : message[static_cast<std::size_t>(pivot == p1 ? p2 : p1)]) {
                configs.push_back({{kAny, kAny, e.s[0], e.s[1]}, e.node});
            }
        } else {
            for (const Entry& x : message[static_cast<std::size_t>(p1)]) {
                for (const Entry& y : message[static_cast<std::size_t>(p2)]) {
                    configs.push_back(
                        {{x.s[0], x.s[1], y.s[0], y.s[1]}, b.product(1.0, {x.node, y.node})});
                }
            }
        }
        // A parent summed out here may have its two copies swapped: the
        // children take either with the same probability.
        auto canonical = [&](Config& c) {
            if (!pivot_is_parent && c.s[0] > c.s[1]) {
                std::swap(c.s[0], c.s[1]);
            }
            if (c.s[2] > c.s[3]) {
                std::swap(c.s[2], c.s[3]);
            }
        };
        for (Config& c : configs) {
            canonical(c);
        }
        b.merge(configs);
        std::vector<Config> next;
        for (const std::int32_t child : g.children[f]) {
            if (child == pivot) {
                continue;
            }
            next.clear();
            for (const Config& c : configs) {
                for (std::uint32_t u = 0; u < 2; ++u) {
                    for (std::uint32_t v = 2; v < 4; ++v) {
                        for (const Entry& e : message[static_cast<std::size_t>(child)]) {
                            Config n{c.s, 0};
                            if (meet(c.s[u], e.s[0], n.s[u]) && meet(c.s[v], e.s[1], n.s[v])) {
                                n.node = b.product(0.25, {c.node, e.node});
                                canonical(n);
                                next.push_back(n);
                            }
                        }
                    }
                }
            }
            b.merge(next);
            std::swap(configs, next);
        }
        std::vector<Entry> out;
        for (const Config& c : configs) {
            if (pivot_is_parent) {
                out.push_back({{c.s[0], c.s[1]},
                               b.product(1.0, {c.node, b.sum_out(c.s[2]), b.sum_out(c.s[3])})});
                continue;
            }
            // The pivot is a child: it takes copy u of the first parent and v of the second.
            for (std::uint32_t u = 0; u < 2; ++u) {
                for (std::uint32_t v = 2; v < 4; ++v) {
                    out.push_back(
                        {{c.s[u], c.s[v]},
                         b.product(0.25, {c.node, b.sum_out(c.s[1 - u]), b.sum_out(c.s[5 - v])})});
                }
            }
        }
        b.merge(out);
        return out;
    };

    for (std::int32_t start = 0; start < g.n_members; ++start) {
        if (seen[static_cast<std::size_t>(start)]) {
            continue;
        }
        // The pedigree of `start`: its members in file order, rooted at the first typed one.
        std::vector<std::int32_t> order{start};
        seen[static_cast<std::size_t>(start)] = true;
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (const std::int32_t y : g.neighbours[static_cast<std::size_t>(order[i])]) {
                if (!seen[static_cast<std::size_t>(y)]) {
                    seen[static_cast<std::size_t>(y)] = true;
                    order.push_back(y);
                }
            }
        }
        Pedigree pedigree;
        std::int32_t root = -1;
        for (const std::int32_t x : order) {
            if (g.is_family(x)) {
                continue;
            }
            pedigree.members.push_back(x);
            const WholeMember& m = members[static_cast<std::size_t>(x)];
            if (m.parent1 == WholeMember::kUnknown) {
                pedigree.founder_haplotypes += 2.0;
            }
            if (root < 0 && m.typed(n_loci)) {
                root = x;
            }
        }
        std::sort(pedigree.members.begin(), pedigree.members.end());
        if (root < 0) {
            continue; // no data: its likelihood is one whatever the frequencies
        }
        // Breadth-first from the root; messages flow back in reverse order.
        std::vector<std::int32_t> bfs{root};
        tree_parent[static_cast<std::size_t>(root)] = -1;
        std::vector<bool> placed(n_nodes, false);
        placed[static_cast<std::size_t>(root)] = true;
        for (std::size_t i = 0; i < bfs.size(); ++i) {
            for (const std::int32_t y : g.neighbours[static_cast<std::size_t>(bfs[i])]) {
                if (!placed[static_cast<std::size_t>(y)]) {
                    placed[static_cast<std::size_t>(y)] = true;
                    tree_parent[static_cast<std::size_t>(y)] = bfs[i];
                    bfs.push_back(y);
                }
            }
        }
        for (std::size_t i = bfs.size(); i-- > 1;) {
            const std::int32_t x = bfs[i];
            const std::int32_t up = tree_parent[static_cast<std::size_t>(x)];
            message[static_cast<std::size_t>(x)] =
                g.is_family(x) ? family_message(x, up) : member_function(x, up);
        }
        std::vector<std::uint32_t> terms;
        for (const Entry& e : member_function(root, -1)) {
            terms.push_back(b.product(1.0, {e.node, b.sum_out(e.s[0]), b.sum_out(e.s[1])}));
        }
        if (terms.empty()) {
            terms.push_back(b.constant(0.0));
        }
        pedigree.root = b.sum(terms);
        for (const std::int32_t x : bfs) {
            message[static_cast<std::size_t>(x)].clear();
            message[static_cast<std::size_t>(x)].shrink_to_fit();
        }
        _founder_haplotypes += pedigree.founder_haplotypes;
        _pedigrees.push_back(std::move(pedigree));
    }
}

std::int64_t WholePedigrees::likelihood(const std::vector<double>& f, Workspace& w,
                                        double& ln_l) const {
    const std::size_t n = _kind.size();
    w.value.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t* op = _operands.data() + _begin[i];
        const std::uint32_t* end = _operands.data() + _begin[i + 1];
        double v = 0.0;
        switch (_kind[i]) {
        case kLeaf:
            for (; op != end; ++op) {
                v += f[*op];
            }
            break;
        case kSum:
            for (; op != end; ++op) {
                v += w.value[*op];
            }
            break;
        case kProduct:
            v = _coef[i];
            for (; op != end; ++op) {
                v *= w.value[*op];
            }
            break;
        }
        w.value[i] = v;
    }
    ln_l = 0.0;
    for (std::size_t p = 0; p < _pedigrees.size(); ++p) {
        const double prob = w.value[_pedigrees[p].root];
        if (!(prob > 0.0)) {
            return static_cast<std::int64_t>(p);
        }
        ln_l = ln_l + std::log(prob);
    }
    return -1;
}

void WholePedigrees::expected_counts(const std::vector<double>& f, Workspace& w,
                                     std::vector<double>& counts) const {
    const std::size_t n = _kind.size();
    w.adjoint.assign(n, 0.0);
    w.gradient.assign(_n_haplotypes, 0.0);
    for (const Pedigree& p : _pedigrees) {
        const double prob = w.value[p.root];
        if (prob > 0.0) {
            w.adjoint[p.root] += 1.0 / prob;
        }
    }
    for (std::size_t i = n; i-- > 0;) {
        const double a = w.adjoint[i];
        if (a == 0.0) {
            continue;
        }
        const std::uint32_t* op = _operands.data() + _begin[i];
        const std::uint32_t* end = _operands.data() + _begin[i + 1];
        switch (_kind[i]) {
        case kLeaf:
            for (; op != end; ++op) {
                w.gradient[*op] += a;
            }
            break;
        case kSum:
            for (; op != end; ++op) {
                w.adjoint[*op] += a;
            }
            break;
        case kProduct:
            for (const std::uint32_t* j = op; j != end; ++j) {
                double others = _coef[i];
                for (const std::uint32_t* k = op; k != end; ++k) {
                    if (k != j) {
                        others *= w.value[*k];
                    }
                }
                w.adjoint[*j] += a * others;
            }
            break;
        }
    }
    counts.resize(_n_haplotypes);
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        counts[h] = f[h] * w.gradient[h];
    }
}

void WholePedigrees::next_frequencies(const std::vector<double>& f, Workspace& w,
                                      std::vector<double>& next) const {
    expected_counts(f, w, next);
    for (double& x : next) {
        x = _founder_haplotypes > 0.0 ? x / _founder_haplotypes : 0.0;
    }
}
