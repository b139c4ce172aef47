#include "datatool/clean_command.h"

#include <map>
#include <set>

#include "datatool/command_line.h"
#include "datatool/usage.h"

namespace {

using ParentPair = std::pair<std::string, std::string>;

ParentPair pair_of(const std::string& a, const std::string& b) {
    return a < b ? ParentPair{a, b} : ParentPair{b, a};
}

std::string family_name(const IncompatibleFamily& f) {
    std::string name = "family of " + f.members[0].id;
    if (f.members.size() > 1 && f.members[1].role == "parent") {
        name += " and " + f.members[1].id;
    }
    return name;
}

} // namespace

CleanedFile remove_incompatible_families(const CheckedFile& file) {
    CleanedFile cleaned;
    cleaned.content.n_simulated = file.input.run.n_simulated;
    cleaned.content.n_initial = file.input.run.n_initial;
    for (std::size_t k = 0; k < file.input.samples.size(); ++k) {
        const SampleDescription& sample = file.input.samples[k];
        const SampleCheck& check = file.samples[k];
        // A family is its pair of parents, as for the analysis; "0" is unknown.
        std::set<ParentPair> bad_pairs;
        for (const IncompatibleFamily& f : check.incompatible) {
            if (f.members.size() > 1 && f.members[1].role == "parent") {
                bad_pairs.insert(pair_of(f.members[0].id, f.members[1].id));
            }
        }
        auto has_parents = [](const SampleRecord& r) {
            return r.parent1 != "0" && r.parent2 != "0";
        };
        // Who belongs to a family that stays: its parents and its sibs.
        std::set<std::string> in_good_family;
        for (const SampleRecord& r : sample.records) {
            if (has_parents(r) && bad_pairs.count(pair_of(r.parent1, r.parent2)) == 0) {
                in_good_family.insert({r.id, r.parent1, r.parent2});
            }
        }
        std::map<std::string, std::string> reason_of;
        for (const IncompatibleFamily& f : check.incompatible) {
            const std::string why = "in the incompatible " + family_name(f);
            for (const FamilyMember& m : f.members) {
                if (m.line == 0) {
                    continue;
                }
                if (m.role == "sib") {
                    const bool heads_another = in_good_family.count(m.id) != 0;
                    reason_of.emplace(m.id,
                                      "sib " + why +
                                          (heads_another ? " (its own children now name it as an "
                                                           "absent parent)"
                                                         : ""));
                } else if (in_good_family.count(m.id) == 0) {
                    reason_of.emplace(m.id, "parent " + why + ", in no other family");
                }
            }
        }
        SampleDescription out{sample.name, 0, {}};
        for (const SampleRecord& r : sample.records) {
            const auto it = reason_of.find(r.id);
            if (it == reason_of.end()) {
                out.records.push_back(r);
            } else {
                cleaned.removed.push_back({k + 1, r.id, r.line, it->second});
            }
        }
        cleaned.content.samples.push_back(std::move(out));
    }
    return cleaned;
}

int run_clean(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const datatool::CommandLine line = datatool::parse_command_line(args, {"output"});
    if (line.help) {
        out << kCleanUsage;
        return 0;
    }
    if (line.positional.size() != 1) {
        throw UsageError("clean takes one data file");
    }
    const std::string output = line.option("output");
    if (output.empty()) {
        throw UsageError("clean needs the output file: -o OUTPUT.mbd");
    }
    check_output_target(output, {line.positional[0]});
    const CheckedFile file = check_data_file(line.positional[0]);
    const CleanedFile cleaned = remove_incompatible_families(file);
    save_mbd(output, cleaned.content, {line.positional[0]});
    std::size_t kept = 0;
    for (const SampleDescription& s : cleaned.content.samples) {
        kept += s.records.size();
    }
    if (cleaned.removed.empty()) {
        out << "No incompatible family: nothing removed\n";
    }
    for (const Removal& r : cleaned.removed) {
        out << "Removed " << r.id << " (sample " << r.sample << ", line " << r.line
            << "): " << r.reason << "\n";
    }
    for (std::size_t k = 0; k < cleaned.content.samples.size(); ++k) {
        const SampleDescription& s = cleaned.content.samples[k];
        if (s.records.empty() && !file.input.samples[k].records.empty()) {
            out << "Sample " << k + 1 << " (" << s.name << ") has no individual left\n";
        }
    }
    out << "Wrote " << output << ": " << cleaned.content.samples.size()
        << (cleaned.content.samples.size() == 1 ? " sample, " : " samples, ") << kept
        << " individuals kept, " << cleaned.removed.size() << " removed\n";
    return 0;
}
