#include "module_support.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "app/parameter_names.h"
#include "data/shf_table_file.h"

namespace quorra::python {

PythonUserInterface::PythonUserInterface(py::object progressCallback)
    : callback_(std::move(progressCallback)) {
  if (callback_.is_none()) callback_ = py::object();
}

// The stored exception holds Python objects: it goes while the lock is held,
// as the interface itself is made and dropped by a function called from
// Python.
PythonUserInterface::~PythonUserInterface() = default;

MessageResult PythonUserInterface::messageBox(const std::string& text, const std::string& title, MessageIcon,
                                              MessageButtons buttons) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back(title.empty() ? text : title + ": " + text);
  // Nobody is asked: an answer Yes lets a command go on as on the command line.
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

bool PythonUserInterface::progress(double theta, double seconds) {
  py::gil_scoped_acquire lock;
  if (stop_) return false;
  try {
    // Runs the handler of a signal that arrived (Ctrl-C raises
    // KeyboardInterrupt there); only the main thread ever sees one.
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    if (callback_) callback_(theta, seconds);
  } catch (py::error_already_set& error) {
    stop_ = std::make_unique<py::error_already_set>(std::move(error));
    return false;
  }
  return true;
}

std::string PythonUserInterface::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const std::string& message : messages_) {
    if (!text.empty()) text += '\n';
    text += message;
  }
  return text;
}

void PythonUserInterface::raiseIfStopped() {
  if (!stop_) return;
  py::error_already_set error = std::move(*stop_);
  stop_.reset();
  throw error;
}

std::string valueText(const py::handle& value) {
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "1" : "0";
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  // repr of a float reads back as the same double; the rest as str() says.
  if (py::isinstance<py::float_>(value)) return py::repr(value).cast<std::string>();
  return py::str(value).cast<std::string>();
}

Settings keywordSettings(const py::kwargs& keywords) {
  Settings settings;
  // A preset comes first, as --preset does before any --set.
  if (keywords.contains("preset")) settings.emplace_back("preset", valueText(keywords["preset"]));
  for (const auto& [name, value] : keywords)
    if (name.cast<std::string>() != "preset")
      settings.emplace_back(name.cast<std::string>(), valueText(value));
  return settings;
}

std::string applySettings(CEprWindow& window, const Settings& settings) {
  for (const auto& [name, text] : settings) {
    const std::string problem =
        name == "preset" ? applyPreset(window, text) : setParameter(window, name, text);
    if (!problem.empty()) return problem;
  }
  return {};
}

void applyKeywordParameters(CEprWindow& window, const py::kwargs& keywords) {
  const std::string problem = applySettings(window, keywordSettings(keywords));
  if (!problem.empty()) throw py::value_error(problem);
}

void applyShfTable(CEprWindow& window, const py::object& shf) {
  if (shf.is_none()) return;
  const py::module_ os = py::module_::import("os");
  if (py::isinstance<py::str>(shf) || py::hasattr(shf, "__fspath__")) {
    const std::string path = os.attr("fsdecode")(shf).cast<std::string>();
    std::string table, problem;
    if (!readShfTableFile(path, table, problem)) throw py::value_error(problem);
    window.shfText = table;
    return;
  }
  if (!py::isinstance<py::sequence>(shf))
    throw py::type_error(
        "shf must be a path of a table file or a sequence of (spin, Ax, Ay, Az, atoms) rows.");
  std::string text;
  for (const py::handle row : shf.cast<py::sequence>()) {
    if (!py::isinstance<py::sequence>(row) || py::isinstance<py::str>(row) || py::len(row) != 5)
      throw py::value_error("each row of shf must be (spin, Ax, Ay, Az, atoms), got " +
                            py::repr(row).cast<std::string>() + ".");
    std::string line;
    for (const py::handle field : row.cast<py::sequence>()) {
      if (!line.empty()) line += ' ';
      line += valueText(field);
    }
    text += line + "\n";
  }
  window.shfText = shfTableFromText(text);
}

void readAnglePair(const py::object& pair, const char* what, double& theta, double& phi) {
  const std::string expects = std::string(what) + " expects (theta, phi) in degrees, got ";
  if (!py::isinstance<py::sequence>(pair) || py::isinstance<py::str>(pair) || py::len(pair) != 2)
    throw py::value_error(expects + py::repr(pair).cast<std::string>() + ".");
  const py::sequence angles = pair.cast<py::sequence>();
  try {
    theta = py::float_(angles[0]).cast<double>();
    phi = py::float_(angles[1]).cast<double>();
  } catch (py::error_already_set&) {
    throw py::value_error(expects + py::repr(pair).cast<std::string>() + ".");
  }
  if (!std::isfinite(theta) || !std::isfinite(phi))
    throw py::value_error(expects + py::repr(pair).cast<std::string>() + ".");
}

void checkParameters(Session& session) {
  bool accepted = false;
  {
    py::gil_scoped_release unlocked;
    accepted = session.window.CheckParameters();
  }
  if (!accepted) raiseValueError(session, "the parameters were refused.");
}

void raiseUnreadable(const py::object& pathLike, const std::string& path, const std::string& text) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    PyErr_SetObject(PyExc_FileNotFoundError,
                    py::make_tuple(2, text, pathLike).ptr());  // errno ENOENT, message, path
    throw py::error_already_set();
  }
  throw py::value_error(text);
}

void raiseValueError(const Session& session, const std::string& message) {
  const std::string messages = session.ui.messages();
  throw py::value_error(messages.empty() ? message : messages);
}

void raiseRunFailure(Session& session, const std::string& message) {
  session.ui.raiseIfStopped();
  const std::string messages = session.ui.messages();
  throw std::runtime_error(messages.empty() ? message : messages + "\n" + message);
}

std::string parameterTableText() {
  SilentUserInterface ui;
  const CEprWindow defaults(ui);
  std::string text;
  char line[192];
  for (const ParameterName& p : parameterNames()) {
    std::snprintf(line, sizeof line, "  %-16s %-18s %-10s %-21s %s\n", p.name, *p.unit ? p.unit : "-",
                  parameterValue(defaults, p.name).c_str(), parameterRangeText(p.name).c_str(), p.meaning);
    text += line;
  }
  return text;
}

std::string parameterHelpText() {
  return "\nParameters are keyword arguments with the names of the command line's --set; a value is\n"
         "taken as the text str() gives (repr() for a float, 1/0 for a bool). Name, unit, default,\n"
         "values taken (a parenthesis leaves its end out) and meaning:\n\n" +
         parameterTableText() +
         "\nA wrong name or value raises ValueError with the command line's message, for example\n"
         "'Unknown parameter name \"gq\".'\n";
}

}  // namespace quorra::python
