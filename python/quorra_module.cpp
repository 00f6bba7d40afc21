// The Python module quorra: the engine, the readers and the writers of the
// EPR simulator as functions that take keyword parameters and return NumPy
// arrays. Only translation lives here; the work is done by the same commands
// the command line and the desktop program run.

#include <pybind11/pybind11.h>

#include <string>

#include "module_support.h"

namespace quorra::python {
void addSimulationFunctions(py::module_& m);
void addDataFunctions(py::module_& m);
void addFitFunctions(py::module_& m);
}  // namespace quorra::python

PYBIND11_MODULE(quorra, m) {
  using namespace quorra::python;
  m.doc() = ("Exact simulation of EPR spectra of one electron spin (S = 1/2) coupled to one nucleus\n"
             "(I = 1/2 ... 7) and up to 20 sets of equivalent superhyperfine nuclei, by diagonalisation\n"
             "of the spin Hamiltonian. Fields in gauss, frequencies in GHz, angles in degrees.\n\n"
             "simulate, fields, levels, roadmap and rotate do what the command line's commands of\n"
             "the same names do and return NumPy arrays; read loads any spectrum file the program\n"
             "reads; write_text and write_harrow write its two output layouts; fit varies parameters\n"
             "until the simulation matches measured spectra, as `quorra fit` does.\n\n"
             "Parameters (keyword arguments), with unit, default, values taken and meaning:\n\n" +
             parameterTableText())
                .c_str();
  // The results are NumPy arrays: an interpreter without NumPy (another one
  // than the module was built for, often) is told so at once.
  try {
    py::module_::import("numpy");
  } catch (py::error_already_set& error) {
    throw py::import_error(
        "quorra needs NumPy, which " + py::module_::import("sys").attr("executable").cast<std::string>() +
        " cannot import (" + error.what() + "); the module was built for " + QUORRA_PYTHON_EXECUTABLE + ".");
  }
  m.attr("__version__") = QUORRA_VERSION;
  addSimulationFunctions(m);
  addDataFunctions(m);
  addFitFunctions(m);
}
