#include "population/pop_pedigree.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <new>
#include <sstream>
#include <vector>

#include "io/sample_checks.h"
#include "pedigree/pedigree.h"
#include "population/whole_pedigree_sample.h"
#include "support/errors.h"
#include "support/memory_limit.h"

void TPopPedigree::analyse(const SampleDescription& sample, std::int32_t n_initial) {
    Model->analyse(*this, sample, n_initial);
}

void TPopPedigree::analyse_nuclear(const SampleDescription& sample, std::int32_t n_initial) {
    load_sample(sample);
    note_nuclear_losses(sample);
    set_pseudo_haplotypes(PhenPedDB, ' ');
    PhenPedDB.add_missing_parents();
    AlleleDB.add_to_all_loci(TAllele{"#", 1.0F});
    check_table_sizes();
    UseAllCombinations = true;
    calc_ML_allelic_frequencies();
    UseAllCombinations = true;
    HaplDB.build_all_haplotypes(AlleleDB);
    if (builds_pair_table() && !SmallGenDB.build_all_valid_gen(HaplDB)) {
        console() << "Unable to build genotype data base ... exiting"
                  << "\n";
        error_log.report(
            "SmallGenDB.build_all_valid_gen(HaplDB) : Unable to build genotype data base ... "
            "exiting",
            Errors::kFatal);
    }
    build_pedigrees();
    calc_sample_likelihoods(n_initial);
}

void TPopPedigree::note_nuclear_losses(const SampleDescription& sample) {
    if (!Options.from_data_file) {
        return;
    }
    const auto losses = WholePedigreeSample(sample, PhenPedDB._unknown_id).nuclear_losses();
    if (losses.middle == 0 && losses.one_parent == 0) {
        return;
    }
    NuclearNotice = "TPopPedigree::analyse : sample " + Name + ": " + losses.text();
    error_log.report(NuclearNotice, Errors::kInfo);
}

void TPopPedigree::load_sample(const SampleDescription& sample) {
    if (const auto error = first_record_error(sample, Options.from_data_file)) {
        fatal_input_error(error->message, error->hint);
    }
    if (!Model->reads_unknown_alleles()) {
        // A stored file must not change meaning: "?" is an unknown allele to
        // the whole-pedigree model only.
        for (const SampleRecord& r : sample.records) {
            for (const std::string& line : r.allele_lines) {
                const auto pieces = split_allele_line(line);
                if (std::find(pieces.begin(), pieces.end(), WholePedigreeSample::kUnknownAllele) !=
                    pieces.end()) {
                    fatal_input_error("TPopPedigree::read_pedigrees : individual " + r.id +
                                      " has an unknown allele ?, which only "
                                      "--whole-pedigrees reads; nuclear families need every "
                                      "allele");
                }
            }
        }
    }
    try {
        Name = sample.name;
        for (const SampleRecord& r : sample.records) {
            TPhenotype phenotype;
            phenotype._allele_lines[0] = r.allele_lines[0];
            phenotype._allele_lines[1] = r.allele_lines[1];
            PhenPedDB.push_front(std::make_unique<TPhenPed>(phenotype, PhenPedDB.intern(r.id),
                                                            PhenPedDB.intern(r.parent1),
                                                            PhenPedDB.intern(r.parent2)));
        }
    } catch (const std::bad_alloc&) {
        error_log.report("TPopPedigree::read_pedigrees : Unable to allocate memory for PList",
                         Errors::kFatal);
    }
}

void TPopPedigree::set_pseudo_haplotypes(TPhenPedDB& db, char separator) {
    // The lines passed first_record_error when the sample was loaded.
    static const float kOne = 1.0F;
    for (const auto& record : db.records()) {
        // A record with an unknown allele ("?", whole pedigrees only) keeps
        // no pseudo-haplotypes: the nuclear tables never see it.
        bool unknown = false;
        TPopHaplotype working[2];
        for (std::int32_t slot = 0; slot < 2; ++slot) {
            working[slot]._separator = separator;
            const std::vector<std::string> pieces =
                split_allele_line(record->_allele_lines[slot], separator);
            for (std::int32_t l = 0; l < static_cast<std::int32_t>(pieces.size()); ++l) {
                const std::string& piece = pieces[static_cast<std::size_t>(l)];
                if (piece == WholePedigreeSample::kUnknownAllele) {
                    AlleleDB.add_locus(l);
                    unknown = true;
                    continue;
                }
                const std::int32_t index = AlleleDB.add_allele(l, piece, kOne);
                working[slot].append(AlleleDB.locus(l).allele(index));
            }
        }
        for (std::int32_t slot = 0; slot < 2 && !unknown; ++slot) {
            record->set_pseudo_hapl(working[slot], slot);
        }
        record->_observed_typed = record->typed();
    }
}

bool TPopPedigree::builds_pair_table() const {
    return PedDB.engine().wants_pair_table() && needs_pair_table();
}

bool TPopPedigree::needs_pair_table() const {
    // A parent takes every genotype when it has no data, and also when it is
    // itself the child of a family (its parent record is then never marked
    // typed; see TPedDB::build_pedigree_structures).
    const TPhenPedDB& db = PhenPedDB;
    auto has_parents = [&](const TPhenPed& x) {
        return !db.is_unknown(x._parent1_id) && !db.is_unknown(x._parent2_id);
    };
    for (const auto& x : db.records()) {
        if (!has_parents(*x)) {
            continue;
        }
        for (const std::string* id : {x->_parent1_id, x->_parent2_id}) {
            const TPhenPed* parent = db.find(id);
            if (parent != nullptr && (!parent->typed() || has_parents(*parent))) {
                return true;
            }
        }
    }
    return false;
}

void TPopPedigree::check_table_sizes() const {
    // Haplotypes, then every unordered pair of them if some family needs
    // that table: for both loci together and for each locus alone (the
    // allele-frequency step).
    const double haplotype_bytes = sizeof(TPopHaplotype) + 2 * sizeof(void*);
    const double genotype_bytes = builds_pair_table() ? sizeof(TSmallGen) : 0.0;
    const double engine_bytes = PedDB.engine().bytes_per_haplotype();
    auto table_bytes = [&](double haplotypes) {
        return haplotypes * (haplotype_bytes + engine_bytes) +
               haplotypes * (haplotypes + 1.0) / 2.0 * genotype_bytes;
    };
    double haplotypes = AlleleDB.n_loci() > 0 ? 1.0 : 0.0;
    double largest = 0.0;
    std::ostringstream alleles;
    for (std::int32_t k = 0; k < AlleleDB.n_loci(); ++k) {
        const double n = AlleleDB.locus(k).size();
        haplotypes *= n;
        largest = std::max(largest, table_bytes(n));
        alleles << (k == 0 ? "" : " and ") << AlleleDB.locus(k).size();
    }
    const double needed = std::max(largest, table_bytes(haplotypes));
    const auto limit = static_cast<double>(memory_limit_bytes());
    if (needed > limit) {
        std::ostringstream text;
        text << std::fixed << std::setprecision(0) << "TPopPedigree::analyse : sample " << Name
             << " has " << alleles.str() << " alleles (with \"#\") at its loci, which make "
             << haplotypes << " haplotypes";
        if (needs_pair_table()) {
            text << " and " << haplotypes * (haplotypes + 1.0) / 2.0 << " genotypes";
        }
        text << ": " << mebibytes(static_cast<std::uint64_t>(std::min(needed, 1.8e19)))
             << " of tables, more than the memory limit of " << mebibytes(memory_limit_bytes())
             << " (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
        fatal_input_error(text.str());
    }
}

bool TPopPedigree::build_pedigrees() {
    PedDB._sample_name = Name;
    PedDB._release_combinations = true;
    try {
        PedDB.build_pedigree_structures(PhenPedDB);
    } catch (const std::bad_alloc&) {
        error_log.report(
            "TPopPedigree::build_pedigrees : memory allocation failure when building pedigrees ",
            Errors::kFatal);
    }
    return true;
}
