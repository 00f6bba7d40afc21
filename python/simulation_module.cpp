// The computing functions of the module: simulate, fields, levels, roadmap,
// rotate and the parameter table. Each drives the window through the same
// commands, in the same order, as its command line command, and hands back
// NumPy arrays instead of writing files.

#include <pybind11/numpy.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/crystal_commands.h"
#include "app/levels_commands.h"
#include "app/parameter_names.h"
#include "app/rotation_commands.h"
#include "app/simulation_commands.h"
#include "module_support.h"
#include "synthesis/energy_levels.h"
#include "synthesis/rotation.h"

namespace quorra::python {

namespace {

// One transition as a record of a NumPy structured array.
struct TransitionRecord {
  double field;            // gauss
  double probability;      // transition probability
  std::int32_t levels[2];  // upper and lower level, 1 = highest
};

struct LevelRecord {
  double gauss;  // energy in gauss at the free-electron g value
  double ghz;    // the same energy in GHz
};

struct RoadMapRecord {
  double angle;        // rotation angle, degrees
  double theta, phi;   // field direction reached, degrees
  double field;        // resonance field, gauss
  double probability;  // transition probability
  std::int32_t levels[2];
};

template <typename Record>
py::array_t<Record> recordArray(const std::vector<Record>& records) {
  py::array_t<Record> out(static_cast<py::ssize_t>(records.size()));
  if (!records.empty()) std::memcpy(out.mutable_data(), records.data(), records.size() * sizeof(Record));
  return out;
}

py::array_t<TransitionRecord> transitionArray(const std::vector<Transition>& transitions) {
  std::vector<TransitionRecord> records;
  records.reserve(transitions.size());
  for (const Transition& t : transitions) records.push_back({t.field, t.probability, {t.upper, t.lower}});
  return recordArray(records);
}

// theta and phi given one by one, checked as a pair.
void readOrientation(double theta, double phi) {
  readAnglePair(py::make_tuple(theta, phi), "the orientation", theta, phi);
}

py::tuple simulate(const py::object& shf, int threads, const std::string& engine, const py::object& crystal,
                   const py::object& progress, const py::kwargs& parameters) {
  Session session(progress);
  CEprWindow& window = session.window;
  applyKeywordParameters(window, parameters);
  applyShfTable(window, shf);
  if (threads < 0) throw py::value_error("threads must be 0 (all processors) or more.");
  window.threadCount = threads;
  if (engine != "fast" && engine != "reference")
    throw py::value_error("engine must be \"fast\" or \"reference\", got \"" + engine + "\".");
  window.engine = engine == "reference" ? Engine::Reference : Engine::Fast;
  double theta = 0, phi = 0;
  if (!crystal.is_none()) readAnglePair(crystal, "crystal", theta, phi);
  checkParameters(session);

  SimulationReport report;
  int crystalShown = 0;
  {
    py::gil_scoped_release unlocked;
    if (crystal.is_none()) {
      report = Simulate(window);
    } else {
      window.crystalTheta = theta;
      window.crystalPhi = phi;
      crystalShown = showSingleCrystal(window);
    }
  }
  session.ui.raiseIfStopped();
  if (!crystal.is_none() && crystalShown != 1) raiseRunFailure(session, "no spectrum computed.");
  if (report.outOfMemory) raiseRunFailure(session, "no spectrum computed.");
  if (!window.flags.redPresent) raiseRunFailure(session, "no spectrum inside the field range.");

  // The fields as the text spectrum writes them, so that both agree to the bit.
  const SpinParameters& spin = window.spin;
  py::array_t<double> field(spin.points), intensity(spin.points);
  double* f = field.mutable_data();
  for (int i = 0; i < spin.points; ++i) f[i] = spin.fieldCentre - spin.fieldRange / 2 + i * spin.fieldStep;
  std::memcpy(intensity.mutable_data(), window.redValues(),
              sizeof(double) * static_cast<size_t>(spin.points));
  return py::make_tuple(field, intensity);
}

py::array_t<TransitionRecord> fields(double theta, double phi, const py::kwargs& parameters) {
  Session session;
  applyKeywordParameters(session.window, parameters);
  readOrientation(theta, phi);
  checkParameters(session);
  bool complete = false;
  {
    py::gil_scoped_release unlocked;
    complete = singleCrystal(session.window, theta, phi);
  }
  if (!complete) raiseRunFailure(session, "the resonance fields could not all be computed.");
  return transitionArray(session.window.crystalTransitions);
}

py::array_t<LevelRecord> levels(double theta, double phi, double field, const py::kwargs& parameters) {
  Session session;
  applyKeywordParameters(session.window, parameters);
  readOrientation(theta, phi);
  if (!std::isfinite(field)) throw py::value_error("field must be a finite number of gauss.");
  checkParameters(session);
  std::vector<double> energies;
  bool complete = false;
  {
    py::gil_scoped_release unlocked;
    complete = computeLevelsAt(session.window, field, theta, phi, energies);
  }
  if (!complete) raiseRunFailure(session, "the energy levels could not be computed.");
  std::vector<LevelRecord> records;
  for (const double e : energies) records.push_back({e, energyInGigahertz(e)});
  return recordArray(records);
}

py::array_t<RoadMapRecord> roadmap(const py::object& axis, const py::kwargs& parameters) {
  Session session;
  CEprWindow& window = session.window;
  applyKeywordParameters(window, parameters);
  readAnglePair(axis, "axis", window.rotationAxisTheta, window.rotationAxisPhi);
  checkParameters(session);
  bool applied = false, drawn = false;
  {
    py::gil_scoped_release unlocked;
    applied = window.ApplyParameters();
    drawn = applied && DrawAngularDependence(window);
  }
  if (!applied) throw std::bad_alloc();
  if (!drawn) raiseValueError(session, "the parameters were refused.");
  std::vector<RoadMapRecord> records;
  records.reserve(window.roadMap.dots.size());
  for (const RoadMapDot& d : window.roadMap.dots)
    records.push_back({d.angle, d.theta, d.phi, d.field, d.probability, {d.upper, d.lower}});
  return recordArray(records);
}

py::tuple rotate(const py::object& axis, double angle) {
  double axisTheta = 0, axisPhi = 0;
  readAnglePair(axis, "axis", axisTheta, axisPhi);
  if (!std::isfinite(angle)) throw py::value_error("angle must be a finite number of degrees.");
  const FieldDirection h = RotateFieldDirection(axisTheta, axisPhi, angle);
  return py::make_tuple(h.theta, h.phi);
}

py::list parameters() {
  SilentUserInterface ui;
  const CEprWindow defaults(ui);
  py::list out;
  for (const ParameterName& p : parameterNames()) {
    py::dict entry;
    entry["name"] = p.name;
    entry["unit"] = p.unit;
    entry["default"] = parameterValue(defaults, p.name);
    entry["values"] = parameterRangeText(p.name);
    entry["meaning"] = p.meaning;
    out.append(entry);
  }
  return out;
}

}  // namespace

void addSimulationFunctions(py::module_& m) {
  PYBIND11_NUMPY_DTYPE(TransitionRecord, field, probability, levels);
  PYBIND11_NUMPY_DTYPE(LevelRecord, gauss, ghz);
  PYBIND11_NUMPY_DTYPE(RoadMapRecord, angle, theta, phi, field, probability, levels);
  const std::string parameterHelp = parameterHelpText();

  m.def("simulate", &simulate, py::kw_only(), py::arg("shf") = py::none(), py::arg("threads") = 0,
        py::arg("engine") = "fast", py::arg("crystal") = py::none(), py::arg("progress") = py::none(),
        ("The powder spectrum of the parameters, or with crystal=(theta, phi) the spectrum of that\n"
         "one field direction (degrees), as `quorra simulate` computes it; the same settings give\n"
         "the same numbers to the last bit.\n\n"
         "Returns (field, intensity): two float64 arrays of the grid's points (default 65536),\n"
         "field in gauss from fieldCentre - fieldRange/2 in steps of fieldRange/(points - 1).\n\n"
         "shf: the superhyperfine table, a path of a table file (as --shf reads it) or a sequence\n"
         "  of rows (spin, Ax, Ay, Az, atoms): spin as '1/2' or an integer, A in gauss; at most\n"
         "  20 rows. Default: none that splits.\n"
         "threads: powder workers, 0 = all processors. The result does not depend on it.\n"
         "engine: 'fast' (batched, vectorised eigen-solver) or 'reference' (one matrix at a time).\n"
         "progress: called as progress(theta, seconds) once per polar angle of a powder run;\n"
         "  an exception it raises stops the run and comes out of simulate.\n\n"
         "The interpreter's lock is released while the engine runs; Ctrl-C stops a powder run\n"
         "with KeyboardInterrupt. A run that gives no spectrum (nothing inside the field range,\n"
         "the diagonalisation failed) raises RuntimeError with the run's messages.\n" +
         parameterHelp)
            .c_str());

  m.def("fields", &fields, py::arg("theta"), py::arg("phi"),
        ("The resonance fields of one field direction (degrees) as the engine records them, as\n"
         "`quorra fields` prints them. Returns a structured array with the fields field (gauss),\n"
         "probability (transition probability) and levels (the two level numbers, 1 = highest).\n" +
         parameterHelp)
            .c_str());

  m.def("levels", &levels, py::arg("theta"), py::arg("phi"), py::arg("field"),
        ("The energy levels at one field (gauss) and direction (degrees), highest first, as\n"
         "`quorra levels --field` prints them. Returns a structured array with the fields gauss\n"
         "(energy in gauss at the free-electron g value 2.0023, as inside the engine) and ghz.\n" +
         parameterHelp)
            .c_str());

  m.def("roadmap", &roadmap, py::arg("axis"),
        ("Every resonance while the crystal turns about axis = (theta, phi) (degrees) from -10 to\n"
         "191 degrees in steps of 0.1, as `quorra roadmap -o FILE.csv` writes them. Returns a\n"
         "structured array with the fields angle (degrees), theta and phi (the field direction\n"
         "reached, degrees), field (gauss), probability and levels (upper, lower; 1 = highest).\n" +
         parameterHelp)
            .c_str());

  m.def("rotate", &rotate, py::arg("axis"), py::arg("angle"),
        "The field direction (theta, phi) in degrees reached by turning the crystal by angle\n"
        "(degrees) about axis = (theta, phi) (degrees), as `quorra rotate` computes it. At angle 0\n"
        "the field is the part of z perpendicular to the axis (x for an axis along z).");

  m.def("parameters", &parameters,
        "Every parameter name the functions take, in the order of the parameter records: a list of\n"
        "dicts with name, unit ('' for none), default (as text), values (the range taken) and\n"
        "meaning.");
}

}  // namespace quorra::python
