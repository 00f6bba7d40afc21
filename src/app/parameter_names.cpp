#include "app/parameter_names.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/ceprwindow.h"

namespace quorra {

namespace {

enum class Kind { Real, Whole, Flag, Text };

struct Field {
  ParameterName name;
  Kind kind;
  double SpinParameters::*spinReal = nullptr;
  double LineShapeParameters::*shapeReal = nullptr;
  int SpinParameters::*spinWhole = nullptr;
  int LineShapeParameters::*shapeWhole = nullptr;
};

Field spinReal(const char* n, const char* unit, const char* meaning, double SpinParameters::*member) {
  Field f{{n, unit, meaning}, Kind::Real};
  f.spinReal = member;
  return f;
}
Field shapeReal(const char* n, const char* unit, const char* meaning, double LineShapeParameters::*member) {
  Field f{{n, unit, meaning}, Kind::Real};
  f.shapeReal = member;
  return f;
}
Field spinWhole(const char* n, Kind kind, const char* meaning, int SpinParameters::*member) {
  Field f{{n, "", meaning}, kind};
  f.spinWhole = member;
  return f;
}
Field shapeWhole(const char* n, Kind kind, const char* meaning, int LineShapeParameters::*member) {
  Field f{{n, "", meaning}, kind};
  f.shapeWhole = member;
  return f;
}

const std::vector<Field>& fields() {
  static const std::vector<Field> table = {
      spinReal("frequency", "GHz", "microwave frequency", &SpinParameters::frequency),
      spinReal("gx", "", "g tensor, x principal value", &SpinParameters::gx),
      spinReal("gy", "", "g tensor, y principal value", &SpinParameters::gy),
      spinReal("gz", "", "g tensor, z principal value", &SpinParameters::gz),
      spinReal("Ax", "G", "hyperfine tensor, x principal value", &SpinParameters::Ax),
      spinReal("Ay", "G", "hyperfine tensor, y principal value", &SpinParameters::Ay),
      spinReal("Az", "G", "hyperfine tensor, z principal value", &SpinParameters::Az),
      spinReal("P", "G", "quadrupole parameter P", &SpinParameters::P),
      spinReal("Q", "G", "quadrupole parameter Q", &SpinParameters::Q),
      spinReal("nuclearMoment", "nuclear magnetons", "magnetic moment of the nucleus", &SpinParameters::nuclearMoment),
      Field{{"nuclearSpinText", "", "nuclear spin: 1/2, 1, 3/2 ... 7"}, Kind::Text},
      spinReal("fieldCentre", "G", "centre of the field grid", &SpinParameters::fieldCentre),
      spinReal("fieldRange", "G", "full width of the field grid", &SpinParameters::fieldRange),
      spinWhole("points", Kind::Whole, "grid points (resolution)", &SpinParameters::points),
      spinReal("temperature", "K", "sample temperature (stored only)", &SpinParameters::temperature),
      spinReal("thetaStep", "degrees", "polar step of the powder grid", &SpinParameters::thetaStep),
      spinReal("phiStep", "degrees", "azimuthal step of the powder grid", &SpinParameters::phiStep),
      spinWhole("perpendicular", Kind::Flag, "microwave field perpendicular to B (0/1)", &SpinParameters::perpendicular),
      spinWhole("parallel", Kind::Flag, "microwave field parallel to B (0/1)", &SpinParameters::parallel),
      shapeWhole("anisotropic", Kind::Flag, "orientation-dependent line width (0/1)", &LineShapeParameters::anisotropic),
      shapeReal("widthX", "G", "anisotropic line width along x", &LineShapeParameters::widthX),
      shapeReal("widthY", "G", "anisotropic line width along y", &LineShapeParameters::widthY),
      shapeReal("widthZ", "G", "anisotropic line width along z", &LineShapeParameters::widthZ),
      shapeReal("mFactor0", "", "m(I)^0 width factor (stored only)", &LineShapeParameters::mFactor0),
      shapeReal("mFactor1", "", "m(I)^1 width factor (stored only)", &LineShapeParameters::mFactor1),
      shapeReal("mFactor2", "", "m(I)^2 width factor (stored only)", &LineShapeParameters::mFactor2),
      shapeReal("isotropicWidth", "G", "line width, centre to maximum of the derivative",
                &LineShapeParameters::isotropicWidth),
      shapeReal("percentGaussian", "%", "Gaussian share of the line shape", &LineShapeParameters::percentGaussian),
      shapeWhole("integral", Kind::Flag, "absorption instead of first derivative (0/1)", &LineShapeParameters::integral),
  };
  return table;
}

const Field* find(const std::string& name) {
  for (const Field& f : fields())
    if (name == f.name.name) return &f;
  return nullptr;
}

}  // namespace

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
  if (f->spinReal) std::snprintf(text, sizeof text, "%.10g", w.spin.*(f->spinReal));
  else if (f->shapeReal) std::snprintf(text, sizeof text, "%.10g", w.lineShape.*(f->shapeReal));
  else if (f->spinWhole) std::snprintf(text, sizeof text, "%d", w.spin.*(f->spinWhole));
  else if (f->shapeWhole) std::snprintf(text, sizeof text, "%d", w.lineShape.*(f->shapeWhole));
  else return w.spin.nuclearSpinText;
  return text;
}

std::string setParameter(CEprWindow& w, const std::string& name, const std::string& value) {
  const Field* f = find(name);
  if (f == nullptr) return "Unknown parameter name \"" + name + "\".";
  const char* text = value.c_str();
  char* end = nullptr;
  errno = 0;
  switch (f->kind) {
    case Kind::Text:
      if (value.size() > static_cast<size_t>(kMaxNuclearSpinText))
        return "The value of " + name + " has more than 7 characters.";
      w.spin.nuclearSpinText = value;
      return {};
    case Kind::Real: {
      const double number = std::strtod(text, &end);
      if (end == text || *end != '\0' || !std::isfinite(number))
        return "The value of " + name + " is not a finite number: \"" + value + "\".";
      if (f->spinReal) w.spin.*(f->spinReal) = number;
      else w.lineShape.*(f->shapeReal) = number;
      return {};
    }
    case Kind::Whole:
    case Kind::Flag: {
      const long number = std::strtol(text, &end, 10);
      if (end == text || *end != '\0' || errno == ERANGE || number < -2147483647L || number > 2147483647L)
        return "The value of " + name + " is not a whole number: \"" + value + "\".";
      if (f->kind == Kind::Flag && number != 0 && number != 1)
        return "The value of " + name + " must be 0 or 1.";
      if (f->spinWhole) w.spin.*(f->spinWhole) = static_cast<int>(number);
      else w.lineShape.*(f->shapeWhole) = static_cast<int>(number);
      return {};
    }
  }
  return {};
}

}  // namespace quorra
