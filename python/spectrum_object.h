#pragma once
// The Spectrum object of the module: a trace on an even field grid with what
// its file says about it, made by read() or from arrays, and taken by fit().

#include <pybind11/numpy.h>

#include <string>

namespace quorra::python {

namespace py = pybind11;

struct Spectrum {
  py::array field;       // gauss
  py::array intensity;   // float64, or complex128 for two channels
  py::object frequency;  // GHz, or None
  std::string parameters;
  std::string format;  // "BES3T", "ESP", "text", "Harrow"; "" when made from arrays
  std::string title;
  int traces = 1;
  std::string path;  // "" when made from arrays
  // The grid the field array was made from, in gauss: the numbers the
  // loaders give the command line, so that a fit sees the same grid.
  double fieldCentre = 0, fieldRange = 0;
};

}  // namespace quorra::python
