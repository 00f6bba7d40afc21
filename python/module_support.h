#pragma once
// What the functions of the Python module share: the user interface a run
// talks to (messages collected, progress and Ctrl-C through the interpreter),
// keyword parameters applied by name, and the exceptions that carry the
// command line's messages.

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/ceprwindow.h"
#include "app/silent_user_interface.h"

namespace quorra::python {

namespace py = pybind11;

// The seam for a run started from Python. Message boxes are collected as the
// command line would print them ("TITLE: text", or the text alone); the
// progress hook of a powder run takes the interpreter's lock for a moment to
// look for a pending signal (Ctrl-C) and to call the progress callback, and
// stops the run when either raised. The run itself goes on without the lock.
class PythonUserInterface : public SilentUserInterface {
 public:
  explicit PythonUserInterface(py::object progressCallback = py::none());
  ~PythonUserInterface() override;

  MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  bool progress(double theta, double seconds) override;

  // The messages shown so far, one per line.
  std::string messages() const;
  // With the lock held: raises the exception that stopped the run, if any.
  void raiseIfStopped();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  py::object callback_;
  std::unique_ptr<py::error_already_set> stop_;  // the exception that stopped the run
};

// A window and its seam, as each command line command makes them.
struct Session {
  explicit Session(py::object progressCallback = py::none()) : ui(std::move(progressCallback)) {}
  PythonUserInterface ui;
  CEprWindow window{ui};
};

// The keyword arguments as (name, text) pairs, in the order given with a
// preset first: what the command line's --preset and --set would be given (a
// value is taken as the text str() or, for a float, repr() gives; a bool as
// 1 or 0). Applied by applySettings, which needs no interpreter.
using Settings = std::vector<std::pair<std::string, std::string>>;
Settings keywordSettings(const py::kwargs& keywords);
// Applies settings to the window: "preset" as --preset, every other name
// with the setter of --set. An empty string, or the setter's message.
std::string applySettings(CEprWindow& window, const Settings& settings);

// The text str() gives a value (repr() for a float, 1 or 0 for a bool).
std::string valueText(const py::handle& value);

// Sets every keyword argument as a parameter of the window (keywordSettings,
// applySettings). Raises ValueError with the setter's message.
void applyKeywordParameters(CEprWindow& window, const py::kwargs& keywords);

// Sets the superhyperfine table: a path (str or os.PathLike) of a table file,
// read as the command line reads --shf, or a sequence of rows (spin, Ax, Ay,
// Az, atoms). None leaves the default. Raises ValueError or OSError.
void applyShfTable(CEprWindow& window, const py::object& shf);

// (theta, phi) in degrees from a pair of numbers; ValueError naming what
// otherwise.
void readAnglePair(const py::object& pair, const char* what, double& theta, double& phi);

// CheckParameters; raises ValueError with its message when it refuses.
void checkParameters(Session& session);

// Raises FileNotFoundError (errno ENOENT) when path does not exist, else
// ValueError; text is the readers' messages.
[[noreturn]] void raiseUnreadable(const py::object& pathLike, const std::string& path,
                                  const std::string& text);

// Raises ValueError with the messages of the run, or message when there are
// none.
[[noreturn]] void raiseValueError(const Session& session, const std::string& message);
// Raises RuntimeError (the computation gave no result) with the messages of
// the run followed by message, after a stopping exception if there is one.
[[noreturn]] void raiseRunFailure(Session& session, const std::string& message);

// The parameter table as the help shows it: name, unit, default, values taken
// and meaning, one line each.
std::string parameterTableText();
// That table with a paragraph before and after, for the help of the
// functions that take parameters.
std::string parameterHelpText();

}  // namespace quorra::python
