#pragma once
// Superhyperfine table: the text the user types (one line per set of
// equivalent nuclei: spin, Ax, Ay, Az in gauss, number of atoms; lines end in
// CR LF) and the multiplicity patterns derived from it.

#include <cstdint>
#include <string>
#include <vector>

namespace quorra {

struct ShfSet {
  static constexpr int kTableSize = 20;
  int twoIs = 0;  // twice the nuclear spin of the set
  int atoms = 0;
  double Ax = 0.0, Ay = 0.0, Az = 0.0;  // gauss, as typed
  // Number of spin configurations by total projection M ≥ 0. Integer M:
  // entry j counts M = j, entries end with −1. Half-integer M: entry 0 is −1,
  // entry j counts M = j − ½, then −1. Counts grow past 32 bits for large
  // sets (36 spin-½ atoms give C(36,18)), so they are 64-bit.
  int64_t multiplicity[kTableSize] = {};
  // A set whose spin field names a nucleus: its name, and for an element of
  // several isotopes its lines (M in units of the splitting of the isotope
  // the A values refer to, the most abundant one with a spin, and their
  // weights), which then stand in for the multiplicity table. Each isotope
  // of an atom is weighed by its abundance, shared by its 2I + 1 lines, and
  // scaled so that an isotope alone gives the counts of its spin.
  std::string nucleus;
  std::vector<double> mixtureM, mixtureWeight;

  bool halfIntegerM() const { return multiplicity[0] == -1; }
  int lineCount() const { return atoms * twoIs + 1; }
};

struct ShfParseResult {
  std::vector<ShfSet> sets;
  std::string error;  // empty when the text is acceptable
  bool ok() const { return error.empty(); }
};

inline constexpr int kMaxShfSets = 20;
inline constexpr int kMaxShfLineLength = 79;   // characters before CR LF
inline constexpr int kMaxShfFieldLength = 19;  // characters of one field
inline constexpr int kMaxShfTwoIAtoms = 36;    // atoms·I ≤ 18
inline constexpr double kMaxShfLinesPerTransition = 1.0e6;
inline constexpr const char* kShfErrorTitle = "INVALID SHF TABLE";

// The default table: two sets of zero atoms, adding no splitting.
std::string defaultShfText();

// Reads the table as the solver does: lines end in CR LF (text after the last
// CR LF is ignored), lines shorter than 7 characters are skipped, a set whose
// spin is 0 is dropped. A spin "n/2" gives twoIs = n; otherwise twice the
// leading integer. A spin field that names a nucleus ("14N", "1H", "Cl")
// takes its spin from the isotope table, and an element its natural mixture
// (a spinless isotope adds an unshifted line). Refuses, with a message, what the engine cannot hold: a
// line of 80 characters or more, a field of 20 or more, a field that is not a
// number, a negative spin or number of atoms, twice a spin or a number of
// atoms beyond the int range, more than 20 sets, atoms·I above 18, or more
// than a million lines per transition over all sets.
ShfParseResult parseShfTable(const std::string& text);

}  // namespace quorra
