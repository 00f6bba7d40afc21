#include "app/parameter_names.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/ceprwindow.h"
#include "engine/isotopes.h"

namespace quorra {

namespace {

enum class Kind { Real, Whole, Flag, Text, Choice };

// A named choice of the physical model: its value as text, and setting it
// from text (an empty string, or the sentence saying what is wrong).
struct Choice {
  const char* values;  // for the help: "exact, perpendicular or parallel"
  std::string (*get)(const CEprWindow&);
  std::string (*set)(CEprWindow&, const std::string&);
};

// The values a number takes: low … high, low itself only when lowIncluded.
// The limits lie far beyond anything a spectrum needs and keep every matrix
// element of the spin Hamiltonian small enough for the eigen-solver.
struct Range {
  double low, high;
  bool lowIncluded;
};
constexpr Range kPositive(double high) {
  return {0.0, high, false};
}
constexpr Range kBetween(double low, double high) {
  return {low, high, true};
}
constexpr Range kSymmetric(double limit) {
  return {-limit, limit, true};
}

struct Field {
  ParameterName name;
  Kind kind;
  Range range = {0.0, 0.0, true};  // Real and Whole only
  bool readByRuns = true;          // false: stored only, not checked before a run
  double SpinParameters::*spinReal = nullptr;
  double LineShapeParameters::*shapeReal = nullptr;
  int SpinParameters::*spinWhole = nullptr;
  int LineShapeParameters::*shapeWhole = nullptr;
  double PhysicalModel::*modelReal = nullptr;
  bool PhysicalModel::*modelFlag = nullptr;
  Choice choice = {nullptr, nullptr, nullptr};
};

Field spinReal(const char* n, const char* unit, const char* meaning, Range range,
               double SpinParameters::*member, bool readByRuns = true) {
  Field f{{n, unit, meaning}, Kind::Real, range, readByRuns};
  f.spinReal = member;
  return f;
}
Field shapeReal(const char* n, const char* unit, const char* meaning, Range range,
                double LineShapeParameters::*member, bool readByRuns = true) {
  Field f{{n, unit, meaning}, Kind::Real, range, readByRuns};
  f.shapeReal = member;
  return f;
}
Field spinWhole(const char* n, Kind kind, const char* meaning, int SpinParameters::*member,
                Range range = {0.0, 1.0, true}) {
  Field f{{n, "", meaning}, kind, range};
  f.spinWhole = member;
  return f;
}
Field shapeWhole(const char* n, Kind kind, const char* meaning, int LineShapeParameters::*member) {
  Field f{{n, "", meaning}, kind, {0.0, 1.0, true}};
  f.shapeWhole = member;
  return f;
}

Field modelReal(const char* n, const char* unit, const char* meaning, Range range,
                double PhysicalModel::*member) {
  Field f{{n, unit, meaning}, Kind::Real, range};
  f.modelReal = member;
  return f;
}
Field modelFlag(const char* n, const char* meaning, bool PhysicalModel::*member) {
  Field f{{n, "", meaning}, Kind::Flag, {0.0, 1.0, true}};
  f.modelFlag = member;
  return f;
}
Field modelChoice(const char* n, const char* meaning, Choice choice) {
  Field f{{n, "", meaning}, Kind::Choice};
  f.choice = choice;
  return f;
}

// "The value of NAME must be one of A, B or C: "VALUE"."
std::string notOneOf(const char* name, const char* values, const std::string& value) {
  return std::string("The value of ") + name + " must be " + values + ": \"" + value + "\".";
}

const char* const kMicrowaveValues = "exact, perpendicular or parallel";
const char* const kConstantValues = "classic or codata2018";
const char* const kSignValues = "classic or physical";
const char* const kProfileValues = "mixture or voigt";

Choice microwaveChoice() {
  return {kMicrowaveValues,
          [](const CEprWindow& w) { return std::string(microwaveModeName(w.model.microwave)); },
          [](CEprWindow& w, const std::string& text) -> std::string {
            if (!parseMicrowaveMode(text, w.model.microwave))
              return notOneOf("microwaveMode", kMicrowaveValues, text);
            // The check boxes of the dialog follow the mode.
            if (w.model.microwave != MicrowaveMode::Exact) {
              w.spin.perpendicular = w.model.microwave == MicrowaveMode::Perpendicular ? 1 : 0;
              w.spin.parallel = w.model.microwave == MicrowaveMode::Parallel ? 1 : 0;
            }
            return {};
          }};
}
Choice constantChoice() {
  return {kConstantValues,
          [](const CEprWindow& w) { return std::string(constantSetName(w.model.constants)); },
          [](CEprWindow& w, const std::string& text) -> std::string {
            return parseConstantSet(text, w.model.constants) ? std::string()
                                                             : notOneOf("constants", kConstantValues, text);
          }};
}
Choice signChoice() {
  return {kSignValues, [](const CEprWindow& w) { return std::string(nuclearSignName(w.model.nuclearSign)); },
          [](CEprWindow& w, const std::string& text) -> std::string {
            return parseNuclearSign(text, w.model.nuclearSign)
                       ? std::string()
                       : notOneOf("nuclearZeemanSign", kSignValues, text);
          }};
}
Choice profileChoice() {
  return {kProfileValues, [](const CEprWindow& w) { return std::string(lineProfileName(w.model.profile)); },
          [](CEprWindow& w, const std::string& text) -> std::string {
            return parseLineProfile(text, w.model.profile) ? std::string()
                                                           : notOneOf("lineProfile", kProfileValues, text);
          }};
}
const char* const kGridValues = "exact or adaptive";

Choice gridChoice() {
  return {kGridValues,
          [](const CEprWindow& w) {
            return std::string(w.spin.grid == PowderGrid::Adaptive ? "adaptive" : "exact");
          },
          [](CEprWindow& w, const std::string& text) -> std::string {
            if (text == "exact")
              w.spin.grid = PowderGrid::Exact;
            else if (text == "adaptive")
              w.spin.grid = PowderGrid::Adaptive;
            else
              return notOneOf("grid", kGridValues, text);
            return {};
          }};
}
Choice nucleusChoice() {
  return {"none, an isotope (63Cu) or an element (Cu)",
          [](const CEprWindow& w) { return w.model.nucleus.empty() ? std::string("none") : w.model.nucleus; },
          [](CEprWindow& w, const std::string& text) -> std::string {
            if (text.empty() || text == "none") {
              w.model.nucleus.clear();
              return {};
            }
            const NucleusLookup nucleus = lookUpNucleus(text);
            if (!nucleus.ok()) return nucleus.error;
            w.model.nucleus = text;
            return {};
          }};
}

constexpr bool kStoredOnly = false;

const std::vector<Field>& fields() {
  using S = SpinParameters;
  using L = LineShapeParameters;
  using M = PhysicalModel;
  static const std::vector<Field> table = {
      spinReal("frequency", "GHz", "microwave frequency", kPositive(10000), &S::frequency),
      spinReal("gx", "", "g tensor, x principal value", kPositive(100), &S::gx),
      spinReal("gy", "", "g tensor, y principal value", kPositive(100), &S::gy),
      spinReal("gz", "", "g tensor, z principal value", kPositive(100), &S::gz),
      spinReal("Ax", "G", "hyperfine tensor, x principal value", kSymmetric(1e6), &S::Ax),
      spinReal("Ay", "G", "hyperfine tensor, y principal value", kSymmetric(1e6), &S::Ay),
      spinReal("Az", "G", "hyperfine tensor, z principal value", kSymmetric(1e6), &S::Az),
      spinReal("P", "G", "quadrupole parameter P", kSymmetric(1e6), &S::P),
      spinReal("Q", "G", "quadrupole parameter Q", kSymmetric(1e6), &S::Q),
      spinReal("nuclearMoment", "nuclear magnetons", "magnetic moment of the nucleus", kSymmetric(1000),
               &S::nuclearMoment),
      Field{{"nuclearSpinText", "", "nuclear spin: 1/2, 1, 3/2 ... 7"}, Kind::Text},
      spinReal("fieldCentre", "G", "centre of the field grid", kSymmetric(1e7), &S::fieldCentre),
      spinReal("fieldRange", "G", "full width of the field grid", kBetween(1, 2e7), &S::fieldRange),
      spinWhole("points", Kind::Whole, "grid points (resolution)", &S::points, kBetween(2, kMaxPoints)),
      spinReal("temperature", "K", "sample temperature (read with populations=1)", kBetween(0, 1e5),
               &S::temperature, kStoredOnly),
      spinReal("thetaStep", "degrees", "polar step of the powder grid", kBetween(0.001, 1e6), &S::thetaStep),
      spinReal("phiStep", "degrees", "azimuthal step of the powder grid", kBetween(0.001, 1e6), &S::phiStep),
      modelChoice("grid", "powder grid: exact (thetaStep, phiStep) or adaptive (interpolated, refined)",
                  gridChoice()),
      spinReal("tolerance", "", "adaptive grid: largest change per refinement over peak-to-peak",
               kBetween(1e-6, 0.1), &S::gridTolerance),
      spinWhole("perpendicular", Kind::Flag, "microwave field perpendicular to B (0/1)", &S::perpendicular),
      spinWhole("parallel", Kind::Flag, "microwave field parallel to B (0/1)", &S::parallel),
      shapeWhole("anisotropic", Kind::Flag, "orientation-dependent line width (0/1)", &L::anisotropic),
      shapeReal("widthX", "G", "anisotropic line width along x", kPositive(1e5), &L::widthX),
      shapeReal("widthY", "G", "anisotropic line width along y", kPositive(1e5), &L::widthY),
      shapeReal("widthZ", "G", "anisotropic line width along z", kPositive(1e5), &L::widthZ),
      shapeReal("mFactor0", "", "m(I)^0 width factor (read with mDependentWidths=1)", kSymmetric(1e6),
                &L::mFactor0, kStoredOnly),
      shapeReal("mFactor1", "", "m(I)^1 width factor (read with mDependentWidths=1)", kSymmetric(1e6),
                &L::mFactor1, kStoredOnly),
      shapeReal("mFactor2", "", "m(I)^2 width factor (read with mDependentWidths=1)", kSymmetric(1e6),
                &L::mFactor2, kStoredOnly),
      shapeReal("isotropicWidth", "G", "line width, centre to maximum of the derivative", kPositive(1e5),
                &L::isotropicWidth),
      shapeReal("percentGaussian", "%", "Gaussian share of the line shape", kBetween(0, 100),
                &L::percentGaussian),
      shapeWhole("integral", Kind::Flag, "absorption instead of first derivative (0/1)", &L::integral),
      // The physical model; every default gives the exact classic simulation.
      modelChoice("microwaveMode", "exact (classic u, w), perpendicular or parallel B1", microwaveChoice()),
      modelChoice("constants", "classic (714.468 G/GHz) or codata2018", constantChoice()),
      modelChoice("nuclearZeemanSign", "classic (+gn muN B.I) or physical (-gn muN B.I)", signChoice()),
      modelChoice("nucleus", "main nucleus from the isotope table (none: spin text, moment)",
                  nucleusChoice()),
      modelFlag("populations", "Boltzmann population difference at temperature (0/1)", &M::populations),
      modelFlag("sweepFactor", "field-sweep factor 1/|d(dE)/dB| (0/1)", &M::sweepFactor),
      modelFlag("betweenPoints", "share each line between its two grid points (0/1)", &M::betweenPoints),
      modelFlag("mDependentWidths", "width W*(mFactor0 + mFactor1*m + mFactor2*m^2) (0/1)",
                &M::mDependentWidths),
      modelReal("gStrainX", "", "g strain: width of gx", kBetween(0, 100), &M::gStrainX),
      modelReal("gStrainY", "", "g strain: width of gy", kBetween(0, 100), &M::gStrainY),
      modelReal("gStrainZ", "", "g strain: width of gz", kBetween(0, 100), &M::gStrainZ),
      modelReal("AStrainX", "G", "A strain: width of Ax", kBetween(0, 1e6), &M::aStrainX),
      modelReal("AStrainY", "G", "A strain: width of Ay", kBetween(0, 1e6), &M::aStrainY),
      modelReal("AStrainZ", "G", "A strain: width of Az", kBetween(0, 1e6), &M::aStrainZ),
      modelReal("strainCorrelation", "", "correlation of g and A strain", kBetween(-1, 1),
                &M::strainCorrelation),
      modelChoice("lineProfile", "mixture (Gauss/Lorentz sum) or voigt", profileChoice()),
      modelReal("lorentzWidth", "G", "Lorentzian width of a Voigt line", kBetween(0, 1e5), &M::lorentzWidth),
  };
  return table;
}

const Field* find(const std::string& name) {
  for (const Field& f : fields())
    if (name == f.name.name) return &f;
  return nullptr;
}

// A limit as the messages and the help write it: "0.001", "10000000".
std::string limitText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

bool inside(const Range& r, double value) {
  return (r.lowIncluded ? value >= r.low : value > r.low) && value <= r.high;
}

bool hasNumericRange(const Field& f) {
  return f.kind == Kind::Real || f.kind == Kind::Whole;
}

std::string ruleOf(const Field& f) {
  const std::string unit = *f.name.unit ? std::string(" ") + f.name.unit : std::string();
  const Range& r = f.range;
  if (r.lowIncluded) return "between " + limitText(r.low) + " and " + limitText(r.high) + unit;
  return "greater than " + limitText(r.low) + " and at most " + limitText(r.high) + unit;
}

// Blanks after the number, as strtod and strtol skip those before it.
bool onlyBlanksFrom(const char* end) {
  while (*end != '\0' && std::isspace(static_cast<unsigned char>(*end))) ++end;
  return *end == '\0';
}

}  // namespace

std::string parameterRangeText(const std::string& name) {
  const Field* f = find(name);
  if (f == nullptr) return {};
  switch (f->kind) {
    case Kind::Text:
      return "1/2 ... 7";
    case Kind::Flag:
      return "0 or 1";
    case Kind::Choice:
      return f->choice.values;
    case Kind::Real:
    case Kind::Whole:
      break;
  }
  return std::string(f->range.lowIncluded ? "[" : "(") + limitText(f->range.low) + ", " +
         limitText(f->range.high) + "]";
}

std::string parameterRangeRule(const std::string& name) {
  const Field* f = find(name);
  return f != nullptr && hasNumericRange(*f) ? ruleOf(*f) : std::string();
}

bool parameterInRange(const std::string& name, double value) {
  const Field* f = find(name);
  return f == nullptr || !hasNumericRange(*f) || inside(f->range, value);
}

std::string parameterRangeProblem(const CEprWindow& w) {
  for (const Field& f : fields()) {
    if (!hasNumericRange(f) || !f.readByRuns) continue;
    const double value = f.spinReal    ? w.spin.*(f.spinReal)
                         : f.shapeReal ? w.lineShape.*(f.shapeReal)
                         : f.modelReal ? w.model.*(f.modelReal)
                         : f.spinWhole ? w.spin.*(f.spinWhole)
                                       : w.lineShape.*(f.shapeWhole);
    if (!std::isfinite(value)) return std::string("The value of ") + f.name.name + " is not a finite number.";
    if (!inside(f.range, value))
      return std::string("The value of ") + f.name.name + " must be " + ruleOf(f) + ".";
  }
  return {};
}

const std::vector<ParameterName>& parameterNames() {
  static const std::vector<ParameterName> names = [] {
    std::vector<ParameterName> list;
    for (const Field& f : fields()) list.push_back(f.name);
    return list;
  }();
  return names;
}

std::string parameterValue(const CEprWindow& w, const std::string& name) {
  const Field* f = find(name);
  if (f == nullptr) return {};
  char text[64];
  if (f->spinReal)
    std::snprintf(text, sizeof text, "%.10g", w.spin.*(f->spinReal));
  else if (f->shapeReal)
    std::snprintf(text, sizeof text, "%.10g", w.lineShape.*(f->shapeReal));
  else if (f->spinWhole)
    std::snprintf(text, sizeof text, "%d", w.spin.*(f->spinWhole));
  else if (f->shapeWhole)
    std::snprintf(text, sizeof text, "%d", w.lineShape.*(f->shapeWhole));
  else if (f->modelReal)
    std::snprintf(text, sizeof text, "%.10g", w.model.*(f->modelReal));
  else if (f->modelFlag)
    std::snprintf(text, sizeof text, "%d", w.model.*(f->modelFlag) ? 1 : 0);
  else if (f->kind == Kind::Choice)
    return f->choice.get(w);
  else
    return w.spin.nuclearSpinText;
  return text;
}

std::string setParameter(CEprWindow& w, const std::string& name, const std::string& value) {
  const Field* f = find(name);
  if (f == nullptr) return "Unknown parameter name \"" + name + "\".";
  const char* text = value.c_str();
  char* end = nullptr;
  errno = 0;
  switch (f->kind) {
    case Kind::Choice:
      return f->choice.set(w, value);
    case Kind::Text:
      if (value.size() > static_cast<size_t>(kMaxNuclearSpinText))
        return "The value of " + name + " has more than 7 characters.";
      w.spin.nuclearSpinText = value;
      return {};
    case Kind::Real: {
      const double number = std::strtod(text, &end);
      if (end == text || !onlyBlanksFrom(end) || !std::isfinite(number))
        return "The value of " + name + " is not a finite number: \"" + value + "\".";
      if (!inside(f->range, number))
        return "The value of " + name + " must be " + ruleOf(*f) + ": \"" + value + "\".";
      if (f->spinReal)
        w.spin.*(f->spinReal) = number;
      else if (f->shapeReal)
        w.lineShape.*(f->shapeReal) = number;
      else
        w.model.*(f->modelReal) = number;
      return {};
    }
    case Kind::Whole:
    case Kind::Flag: {
      const long number = std::strtol(text, &end, 10);
      if (end == text || !onlyBlanksFrom(end) || errno == ERANGE || number < -2147483647L ||
          number > 2147483647L)
        return "The value of " + name + " is not a whole number: \"" + value + "\".";
      if (f->kind == Kind::Flag && number != 0 && number != 1)
        return "The value of " + name + " must be 0 or 1.";
      if (f->kind == Kind::Whole && !inside(f->range, static_cast<double>(number)))
        return "The value of " + name + " must be " + ruleOf(*f) + ": \"" + value + "\".";
      if (f->spinWhole)
        w.spin.*(f->spinWhole) = static_cast<int>(number);
      else if (f->shapeWhole)
        w.lineShape.*(f->shapeWhole) = static_cast<int>(number);
      else
        w.model.*(f->modelFlag) = number == 1;
      return {};
    }
  }
  return {};
}

double* realParameter(CEprWindow& w, const std::string& name) {
  const Field* f = find(name);
  if (f == nullptr || f->kind != Kind::Real) return nullptr;
  if (f->spinReal) return &(w.spin.*(f->spinReal));
  if (f->shapeReal) return &(w.lineShape.*(f->shapeReal));
  return &(w.model.*(f->modelReal));
}

std::string applyPreset(CEprWindow& w, const std::string& preset) {
  if (preset == "exact") return {};
  if (preset != "physical") return "The preset must be exact or physical: \"" + preset + "\".";
  applyPhysicalPreset(w.model);
  w.spin.perpendicular = 1;
  w.spin.parallel = 0;
  return {};
}

}  // namespace quorra
