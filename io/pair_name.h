#pragma once

#include <optional>
#include <string>

// The name of a sample that holds one pair of markers of a panel:
//
//     PANEL: MARKER1 x MARKER2
//
// The name is read from its end: the text after the last ": " must be two
// marker names without blanks joined by " x "; what stands before it is the
// panel (any text). A name of another shape names no markers, so the names of
// existing data files keep their meaning.
struct PairName {
    std::string panel;
    std::string marker_1;
    std::string marker_2;
};

std::string pair_sample_name(const std::string& panel, const std::string& marker_1,
                             const std::string& marker_2);

// The panel and markers a sample name carries; none for a name of another
// shape or one that names the same marker twice.
std::optional<PairName> read_pair_name(const std::string& name);

// Whether a marker name can stand in a pair's sample name (no blank, no line
// break).
bool pair_marker_name_ok(const std::string& marker);
