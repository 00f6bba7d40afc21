#pragma once
// The isotope table shipped with the program (data/isotopes/isotopes.tsv,
// built into the engine): spin, signed nuclear g factor, natural abundance
// and quadrupole moment of every natural nuclide and a few radioactive ones,
// and the nuclei a name stands for: an isotope ("63Cu", "14N", "1H") or an
// element ("Cu", "Cl"), its natural mixture.

#include <string>
#include <vector>

namespace quorra {

struct Isotope {
  int protons = 0, nucleons = 0;
  std::string symbol;
  int twoI = 0;             // twice the nuclear spin
  double gn = 0.0;          // nuclear g factor, signed; moment gn·I nuclear magnetons
  double abundance = 0.0;   // natural abundance, fraction of 1
  double quadrupole = 0.0;  // barn; NaN where not measured
  std::string name() const { return std::to_string(nucleons) + symbol; }
};

// Every row of the table, in its order.
const std::vector<Isotope>& isotopeTable();

// One isotope of what a name stands for, with its share of the spectrum.
struct NucleusComponent {
  Isotope isotope;
  double weight = 1.0;  // 1 for an isotope; the natural abundance in a mixture
  // gn of this isotope over gn of the reference isotope: hyperfine values
  // given for the reference scale by it (0 for a nucleus without spin).
  double hyperfineScale = 1.0;
  // P and Q given for the reference, scaled to this isotope (quadrupole
  // moment over I(2I − 1)); 0 below spin 1.
  double quadrupoleScale = 1.0;
};

struct NucleusLookup {
  std::vector<NucleusComponent> components;
  // The isotope the hyperfine values given refer to: the named isotope, or
  // the most abundant one with a spin of an element (none: "").
  std::string reference;
  std::string error;  // one sentence naming the value; empty when found
  bool ok() const { return error.empty(); }
};

// An isotope ("63Cu") gives itself; an element ("Cu") every isotope of
// natural abundance above 0, weighed by it, spinless ones included. Names are
// case-sensitive, as chemical symbols are. Refused, with a sentence naming
// the value: an unknown name, an isotope whose spin is above 7.
NucleusLookup lookUpNucleus(const std::string& name);

// The text of the table (generated from the TSV file at build time).
const char* isotopeTableText();

}  // namespace quorra
