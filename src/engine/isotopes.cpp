#include "engine/isotopes.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace quorra {

namespace {

constexpr int kMaxTwoI = 14;  // the engine holds I ≤ 7

std::vector<Isotope> parseTable() {
  std::vector<Isotope> table;
  std::istringstream lines(isotopeTableText());
  std::string line;
  std::getline(lines, line);  // header
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string protons, nucleons, symbol, name, radioactive, spin, gn, abundance, quadrupole;
    if (!std::getline(fields, protons, '\t') || !std::getline(fields, nucleons, '\t') ||
        !std::getline(fields, symbol, '\t') || !std::getline(fields, name, '\t') ||
        !std::getline(fields, radioactive, '\t') || !std::getline(fields, spin, '\t') ||
        !std::getline(fields, gn, '\t') || !std::getline(fields, abundance, '\t') ||
        !std::getline(fields, quadrupole))
      continue;
    const double I = std::strtod(spin.c_str(), nullptr);
    if (I < 0) continue;  // elements without a known nuclide
    Isotope isotope;
    isotope.protons = std::atoi(protons.c_str());
    isotope.nucleons = std::atoi(nucleons.c_str());
    isotope.symbol = symbol;
    isotope.twoI = static_cast<int>(std::lround(2 * I));
    isotope.gn = std::strtod(gn.c_str(), nullptr);
    isotope.abundance = std::strtod(abundance.c_str(), nullptr) / 100;
    isotope.quadrupole = std::strtod(quadrupole.c_str(), nullptr);
    table.push_back(isotope);
  }
  return table;
}

// P and Q of the reference, carried over to isotope: both are
// e²qQ/(4I(2I − 1)) times a factor of the site alone.
double quadrupoleScale(const Isotope& isotope, const Isotope& reference) {
  if (isotope.twoI < 2) return 0.0;
  if (isotope.nucleons == reference.nucleons) return 1.0;
  auto perMoment = [](const Isotope& i) { return i.quadrupole / (i.twoI * (i.twoI - 1) / 4.0); };
  const double scale = perMoment(isotope) / perMoment(reference);
  return std::isfinite(scale) ? scale : 0.0;
}

std::string spinText(int twoI) {
  return twoI % 2 == 0 ? std::to_string(twoI / 2) : std::to_string(twoI) + "/2";
}

}  // namespace

const std::vector<Isotope>& isotopeTable() {
  static const std::vector<Isotope> table = parseTable();
  return table;
}

NucleusLookup lookUpNucleus(const std::string& name) {
  NucleusLookup result;
  size_t digits = 0;
  while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
  const std::string symbol = name.substr(digits);
  const int nucleons = digits > 0 && digits < 4 ? std::atoi(name.substr(0, digits).c_str()) : 0;
  const bool wantIsotope = digits > 0;
  for (const Isotope& isotope : isotopeTable()) {
    if (isotope.symbol != symbol) continue;
    if (wantIsotope && isotope.nucleons == nucleons) {
      if (isotope.twoI > kMaxTwoI) {
        result.error = "The nucleus " + name + " has spin " + spinText(isotope.twoI) +
                       "; the engine holds spins up to 7.";
        return result;
      }
      result.components.push_back({isotope, 1.0, 1.0, 1.0});
      result.reference = isotope.name();
      return result;
    }
    // Nuclides of a spin beyond 7 (only 180Ta, at 0.012 %) are left out of a
    // natural mixture.
    if (!wantIsotope && isotope.abundance > 0 && isotope.twoI <= kMaxTwoI)
      result.components.push_back({isotope, isotope.abundance, 1.0, 1.0});
  }
  if (wantIsotope || result.components.empty() || symbol.empty() || digits > 0) {
    result.components.clear();
    result.error = "Unknown nucleus \"" + name +
                   "\": give an isotope of the table such as 63Cu, 14N or 1H, or an element such as Cu for "
                   "its natural mixture.";
    return result;
  }
  // The hyperfine values given are those of the most abundant isotope with
  // a spin; the others' scale with gn.
  const Isotope* reference = nullptr;
  for (const NucleusComponent& c : result.components)
    if (c.isotope.twoI > 0 && (reference == nullptr || c.isotope.abundance > reference->abundance))
      reference = &c.isotope;
  if (reference != nullptr) {
    const Isotope ref = *reference;
    result.reference = ref.name();
    for (NucleusComponent& c : result.components) {
      c.hyperfineScale = c.isotope.twoI > 0 ? c.isotope.gn / ref.gn : 0.0;
      c.quadrupoleScale = quadrupoleScale(c.isotope, ref);
    }
  } else {
    for (NucleusComponent& c : result.components) c.hyperfineScale = c.quadrupoleScale = 0.0;
  }
  return result;
}

}  // namespace quorra
