#include "engine/shf_table.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/isotopes.h"

namespace quorra {

namespace {

// True when field is a whole decimal number (an optional sign, digits, an
// optional fraction and exponent), as typed for A values and atom counts.
bool isNumber(const char* field) {
  char* end = nullptr;
  std::strtod(field, &end);
  return end != field && *end == '\0';
}

// The leading integer of a field, as atoi reads it, without its overflow:
// beyond the range of long long the value saturates at the end of that range
// whose sign the field has, so that it still compares as too large or
// negative.
long long leadingInteger(const char* field) {
  errno = 0;
  const long long value = std::strtoll(field, nullptr, 10);
  if (errno == ERANGE) return field[0] == '-' ? LLONG_MIN : LLONG_MAX;
  return value;
}

bool isSpin(const char* field) {
  const char* slash = std::strchr(field, '/');
  if (slash == nullptr) return isNumber(field);
  return slash != field && std::strcmp(slash, "/2") == 0 &&
         std::strspn(field, "0123456789") == static_cast<size_t>(slash - field);
}

// A field written like a nucleus: digits, if any, then letters ("14N",
// "Cl"; "Cll" too, to be refused by name).
bool looksLikeNucleus(const char* field) {
  const size_t k = std::strspn(field, "0123456789");
  const size_t letters = std::strspn(field + k, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return letters > 0 && field[k + letters] == '\0';
}

// The lines of atoms nuclei of a mixture, each nucleus any isotope of it:
// the distribution of the summed shift, equal shifts merged.
void buildMixture(ShfSet& set, const NucleusLookup& nucleus) {
  int referenceStates = 1;
  for (const NucleusComponent& c : nucleus.components)
    if (c.isotope.name() == nucleus.reference) referenceStates = c.isotope.twoI + 1;
  std::vector<double> atomM, atomWeight;
  for (const NucleusComponent& c : nucleus.components)
    for (int m2 = -c.isotope.twoI; m2 <= c.isotope.twoI; m2 += 2) {
      atomM.push_back(0.5 * m2 * c.hyperfineScale);
      atomWeight.push_back(c.weight * referenceStates / (c.isotope.twoI + 1));
    }
  std::vector<double> M = {0.0}, weight = {1.0};
  for (int atom = 0; atom < set.atoms; ++atom) {
    std::vector<double> nextM, nextWeight;
    for (size_t a = 0; a < M.size(); ++a)
      for (size_t b = 0; b < atomM.size(); ++b) {
        const double shift = M[a] + atomM[b];
        size_t k = 0;
        while (k < nextM.size() && std::fabs(nextM[k] - shift) > 1e-9) ++k;
        if (k == nextM.size()) {
          nextM.push_back(shift);
          nextWeight.push_back(0.0);
        }
        nextWeight[k] += weight[a] * atomWeight[b];
      }
    M.swap(nextM);
    weight.swap(nextWeight);
  }
  set.mixtureM = M;
  set.mixtureWeight = weight;
}

void buildMultiplicity(ShfSet& set) {
  const int total = set.atoms * set.twoIs;
  // Distribution of the doubled projection 2M over all configurations, by
  // repeated convolution with one nucleus (2m = −twoIs, −twoIs+2, …, twoIs).
  // This counts the same configurations as enumerating them one by one.
  std::vector<int64_t> count(static_cast<size_t>(total) + 1, 0);  // index (2M + total)/2
  count[0] = 1;
  int width = 0;  // current doubled span / 2
  for (int atom = 0; atom < set.atoms; ++atom) {
    std::vector<int64_t> next(count.size(), 0);
    for (int k = 0; k <= width; ++k) {
      if (count[k] == 0) continue;
      for (int step = 0; step <= set.twoIs; ++step) next[k + step] += count[k];
    }
    width += set.twoIs;
    count.swap(next);
  }
  for (int64_t& entry : set.multiplicity) entry = 0;
  if (total % 2 == 0) {
    for (int j = 0; j <= total / 2; ++j) set.multiplicity[j] = count[total / 2 + j];
    set.multiplicity[total / 2 + 1] = -1;
  } else {
    set.multiplicity[0] = -1;
    for (int j = 1; j <= (total + 1) / 2; ++j) set.multiplicity[j] = count[(total - 1) / 2 + j];
    set.multiplicity[(total + 3) / 2] = -1;
  }
}

}  // namespace

std::string defaultShfText() {
  return "   1/2        10        10        15    0\r\n"
         "   1/2        10        10        15    0\r\n";
}

ShfParseResult parseShfTable(const std::string& text) {
  ShfParseResult result;
  double linesPerTransition = 1.0;
  size_t pos = 0;
  int lineNumber = 0;
  for (;;) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) break;
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    ++lineNumber;
    const std::string where = "Line " + std::to_string(lineNumber) + " of the superhyperfine table ";
    if (line.size() > static_cast<size_t>(kMaxShfLineLength)) {
      result.error = where + "is longer than 79 characters.";
      return result;
    }
    if (line.size() < 7) continue;

    char fields[5][80] = {};
    const int read = std::sscanf(line.c_str(), "%79s %79s %79s %79s %79s", fields[0], fields[1], fields[2],
                                 fields[3], fields[4]);
    for (int f = 0; f < read; ++f) {
      if (std::strlen(fields[f]) > static_cast<size_t>(kMaxShfFieldLength)) {
        result.error = where + "has a field longer than 19 characters.";
        return result;
      }
    }
    // A nucleus by name in place of the spin.
    NucleusLookup nucleus;
    const bool named = read == 5 && !isSpin(fields[0]) && looksLikeNucleus(fields[0]);
    if (named) {
      nucleus = lookUpNucleus(fields[0]);
      if (!nucleus.ok()) {
        result.error =
            where + "names an unknown nucleus \"" + fields[0] +
            "\": give a spin (1/2, 1, ...), an isotope such as 14N or 1H, or an element such as Cl.";
        return result;
      }
    }
    if (read != 5 || (!named && !isSpin(fields[0])) || !isNumber(fields[1]) || !isNumber(fields[2]) ||
        !isNumber(fields[3]) || !isNumber(fields[4])) {
      result.error = where + "needs five numbers: spin, Ax, Ay, Az and atoms.";
      return result;
    }

    // Twice the spin: the numerator of "n/2", else twice the leading integer,
    // both read as 64-bit numbers so that nothing overflows before the range
    // checks below.
    long long twoIs = leadingInteger(fields[0]);
    if (std::strchr(fields[0], '/') == nullptr && twoIs > LLONG_MIN / 2 && twoIs < LLONG_MAX / 2) twoIs *= 2;
    if (named) {
      // The largest spin of the nucleus bounds the set as a spin would.
      twoIs = 0;
      for (const NucleusComponent& c : nucleus.components)
        if (c.hyperfineScale != 0 && c.isotope.twoI > twoIs) twoIs = c.isotope.twoI;
    }
    if (twoIs == 0) continue;
    const long long atoms = leadingInteger(fields[4]);
    if (twoIs < 0 || atoms < 0) {
      result.error = where + "has a negative spin or number of atoms.";
      return result;
    }
    if (twoIs > INT_MAX) {
      result.error = where + "has a spin too large to read.";
      return result;
    }
    if (atoms > INT_MAX) {
      result.error = where + "has a number of atoms too large to read.";
      return result;
    }
    ShfSet set;
    set.twoIs = static_cast<int>(twoIs);
    set.Ax = std::atof(fields[1]);
    set.Ay = std::atof(fields[2]);
    set.Az = std::atof(fields[3]);
    set.atoms = static_cast<int>(atoms);
    if (static_cast<long long>(set.atoms) * set.twoIs > kMaxShfTwoIAtoms) {
      result.error = where + "has atoms times spin above 18.";
      return result;
    }
    if (result.sets.size() == static_cast<size_t>(kMaxShfSets)) {
      result.error = "The superhyperfine table holds more than 20 sets.";
      return result;
    }
    linesPerTransition *= set.atoms * set.twoIs + 1;
    if (linesPerTransition > kMaxShfLinesPerTransition) {
      result.error = "The superhyperfine table splits each line into more than 1000000 lines.";
      return result;
    }
    buildMultiplicity(set);
    if (named) {
      set.nucleus = fields[0];
      if (nucleus.components.size() > 1) buildMixture(set, nucleus);
    }
    result.sets.push_back(set);
  }
  return result;
}

}  // namespace quorra
