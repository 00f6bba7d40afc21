// The file functions of the module: read (every reader, chosen by the
// extension as the loaders choose), write_text and write_harrow (the
// program's own layouts, written under a temporary name and renamed when
// complete, as every output of the command line is).

#include <pybind11/complex.h>
#include <pybind11/numpy.h>

#include <cmath>
#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "data/atomic_file.h"
#include "data/bruker_reader.h"
#include "data/harrow_reader.h"
#include "data/harrow_writer.h"
#include "data/number_text.h"
#include "data/spectrum_file_kind.h"
#include "data/text_spectrum.h"
#include "module_support.h"
#include "spectrum_object.h"

namespace quorra::python {

namespace {

// The readers' outcome, read without the interpreter's lock.
struct ReadResult {
  bool ok = false;
  std::vector<ReadMessage> messages;
  ExperimentalSpectrum first;   // the trace, or a Harrow file's first channel
  ExperimentalSpectrum second;  // a Harrow file's second channel
};

ReadResult readAny(const std::string& path) {
  ReadResult result;
  const SpectrumFileKind kind = spectrumFileKind(path);
  if (kind == SpectrumFileKind::Harrow) {
    HarrowOutcome outcome = ReadHarrowFile(path);
    result.ok = outcome.ok;
    result.messages = std::move(outcome.messages);
    result.first = std::move(outcome.channel1);
    result.second = std::move(outcome.channel2);
    return result;
  }
  ReadOutcome outcome =
      kind == SpectrumFileKind::Text ? ReadTextSpectrum(path) : ReadBrukerSpectrum(path, PreviousGrid{});
  result.ok = outcome.ok;
  result.messages = std::move(outcome.messages);
  result.first = std::move(outcome.spectrum);
  return result;
}

// The field grid of a trace in gauss, as the text spectrum writes it; its
// centre and range in gauss go into spectrum.
py::array_t<double> fieldGrid(const ExperimentalSpectrum& s, Spectrum& spectrum) {
  double centre = s.fieldCentre, range = s.fieldRange;
  convertTeslaGridToGauss(centre, range);
  spectrum.fieldCentre = centre;
  spectrum.fieldRange = range;
  const size_t n = s.values.size();
  const double step = range / (static_cast<double>(n) - 1);
  py::array_t<double> field(static_cast<py::ssize_t>(n));
  double* f = field.mutable_data();
  for (size_t i = 0; i < n; ++i) f[i] = centre - range / 2 + static_cast<int>(i) * step;
  return field;
}

py::array_t<double> realArray(const std::vector<double>& values) {
  py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), out.mutable_data());
  return out;
}

py::array_t<std::complex<double>> complexArray(const std::vector<double>& re, const std::vector<double>& im) {
  py::array_t<std::complex<double>> out(static_cast<py::ssize_t>(re.size()));
  std::complex<double>* z = out.mutable_data();
  for (size_t i = 0; i < re.size(); ++i) z[i] = {re[i], im[i]};
  return out;
}

std::string withoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

Spectrum read(const py::object& pathLike) {
  const std::string path = py::module_::import("os").attr("fsdecode")(pathLike).cast<std::string>();
  ReadResult r;
  {
    py::gil_scoped_release unlocked;
    r = readAny(path);
  }
  if (!r.ok) {
    std::string text;
    for (const ReadMessage& m : r.messages)
      text.append(text.empty() ? "" : "\n").append(m.title.empty() ? m.text : m.title + ": " + m.text);
    if (text.empty()) text = "no spectrum could be loaded from " + path + ".";
    raiseUnreadable(pathLike, path, text);
  }
  // A Harrow file's channels: both as the real and imaginary part, or the one
  // the reader kept when the other is flat.
  const ExperimentalSpectrum& shown = r.first.values.empty() ? r.second : r.first;
  Spectrum s;
  s.field = fieldGrid(shown, s);
  if (!r.first.values.empty() && !r.second.values.empty())
    s.intensity = complexArray(r.first.values, r.second.values);
  else if (!shown.imaginary.empty())
    s.intensity = complexArray(shown.values, shown.imaginary);
  else
    s.intensity = realArray(shown.values);
  s.frequency = shown.hasFrequency ? py::object(py::float_(shown.frequency)) : py::object(py::none());
  s.parameters = withoutCarriageReturns(shown.parameterText);
  s.format = shown.format;
  s.title = shown.title;
  s.traces = shown.traces;
  s.path = path;
  return s;
}

// The arrays of a write as contiguous doubles of one length.
py::array_t<double, py::array::c_style | py::array::forcecast> realColumn(const py::object& values,
                                                                          const char* what) {
  auto column = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(values);
  if (!column || column.ndim() != 1)
    throw py::value_error(std::string(what) + " must be a 1-D array of numbers.");
  return column;
}

bool isComplex(const py::object& values) {
  return py::array::ensure(values) && py::array::ensure(values).dtype().kind() == 'c';
}

void writeAtomically(const std::string& path, const std::string& text) {
  std::string failure;
  {
    py::gil_scoped_release unlocked;
    failure = writeFileAtomically(path, text);
  }
  if (!failure.empty()) {
    PyErr_SetString(PyExc_OSError, ("cannot write " + path + ": " + failure).c_str());
    throw py::error_already_set();
  }
}

void writeText(const py::object& pathLike, const py::object& fieldValues, const py::object& intensityValues) {
  const std::string path = py::module_::import("os").attr("fsdecode")(pathLike).cast<std::string>();
  if (isComplex(intensityValues))
    throw py::value_error("write_text takes a real intensity: give intensity.real or intensity.imag.");
  const auto field = realColumn(fieldValues, "field");
  const auto intensity = realColumn(intensityValues, "intensity");
  if (field.size() != intensity.size())
    throw py::value_error("field and intensity must have the same length.");
  std::string text;
  text.reserve(static_cast<size_t>(field.size()) * 24);
  for (py::ssize_t i = 0; i < field.size(); ++i) {
    // "%10.4lf %12.5E\n" in the C locale, as every text spectrum.
    appendFixed(text, field.data()[i], 4, 10);
    text += ' ';
    appendExponent(text, intensity.data()[i], 5, 12, true);
    text += '\n';
  }
  writeAtomically(path, text);
}

void writeHarrow(const py::object& pathLike, const py::object& fieldValues, const py::object& intensityValues,
                 double frequency, const std::string& header, const std::string& comment) {
  const std::string path = py::module_::import("os").attr("fsdecode")(pathLike).cast<std::string>();
  const auto field = realColumn(fieldValues, "field");
  std::vector<double> channel1, channel2;
  if (isComplex(intensityValues)) {
    const auto z =
        py::array_t<std::complex<double>, py::array::c_style | py::array::forcecast>::ensure(intensityValues);
    if (!z || z.ndim() != 1) throw py::value_error("intensity must be a 1-D array of numbers.");
    for (py::ssize_t i = 0; i < z.size(); ++i) {
      channel1.push_back(z.data()[i].real());
      channel2.push_back(z.data()[i].imag());
    }
  } else {
    // One trace: zeros in the first channel, as the acquisition window saves
    // a lone experimental spectrum.
    const auto intensity = realColumn(intensityValues, "intensity");
    channel2.assign(intensity.data(), intensity.data() + intensity.size());
    channel1.assign(channel2.size(), 0.0);
  }
  if (static_cast<size_t>(field.size()) != channel1.size())
    throw py::value_error("field and intensity must have the same length.");
  writeAtomically(path, formatHarrowFile(header, frequency, comment, field.data(), channel1.data(),
                                         channel2.data(), static_cast<int>(field.size())));
}

// A spectrum made from arrays: an even, rising field grid and a real trace.
Spectrum spectrumFromArrays(const py::object& fieldValues, const py::object& intensityValues,
                            const py::object& frequency) {
  if (isComplex(intensityValues))
    throw py::value_error(
        "a Spectrum made from arrays takes a real intensity: give intensity.real or .imag.");
  // Copies, so that the spectrum does not change with the caller's arrays.
  const auto field = realColumn(fieldValues, "field");
  const auto intensity = realColumn(intensityValues, "intensity");
  if (field.size() != intensity.size())
    throw py::value_error("field and intensity must have the same length.");
  const py::ssize_t n = field.size();
  const double* f = field.data();
  const double first = n > 0 ? f[0] : 0, last = n > 0 ? f[n - 1] : 0;
  const double step = n > 1 ? (last - first) / static_cast<double>(n - 1) : 0;
  // Even within a hundredth of a step: grids read from text keep a few decimals.
  bool even = n >= 2 && std::isfinite(step) && step > 0;
  for (py::ssize_t i = 0; even && i < n; ++i)
    even = std::abs(f[i] - (first + static_cast<double>(i) * step)) <= 0.01 * step;
  if (!even) throw py::value_error("field must rise in equal steps over at least 2 points (gauss).");
  Spectrum s;
  if (!frequency.is_none()) {
    const double ghz = py::float_(frequency).cast<double>();
    if (!std::isfinite(ghz) || ghz <= 0)
      throw py::value_error("frequency must be a positive number of GHz or None.");
    s.frequency = py::float_(ghz);
  } else {
    s.frequency = py::none();
  }
  s.field = py::array_t<double>(n, f);
  s.intensity = py::array_t<double>(n, intensity.data());
  s.fieldCentre = (first + last) / 2;
  s.fieldRange = last - first;
  return s;
}

}  // namespace

void addDataFunctions(py::module_& m) {
  py::class_<Spectrum>(m, "Spectrum",
                       "A spectrum read from a file by read(): the trace on its field grid with what the\n"
                       "file says about it; or made from arrays, for fit().")
      .def(py::init(&spectrumFromArrays), py::arg("field"), py::arg("intensity"),
           py::arg("frequency") = py::none(),
           "A spectrum from arrays, for fit(): field in gauss rising in equal steps (as simulate()\n"
           "returns it), a real intensity of the same length (both copied), frequency in GHz or\n"
           "None (the fit then simulates at the frequency of its parameters). format, path,\n"
           "title and parameters are ''.")
      .def_readonly("field", &Spectrum::field, "Field grid in gauss (float64; a grid in tesla is converted).")
      .def_readonly("intensity", &Spectrum::intensity,
                    "The trace: float64, or complex128 when the file holds two channels (a complex\n"
                    "Bruker trace: real and imaginary part; a Harrow file: first and second channel).")
      .def_readonly("frequency", &Spectrum::frequency,
                    "Microwave frequency in GHz, or None when the file has none.")
      .def_readonly("parameters", &Spectrum::parameters,
                    "The experimental parameter text (lines end in \\n), as `quorra info` prints it.")
      .def_readonly("format", &Spectrum::format,
                    "'BES3T', 'ESP', 'text' or 'Harrow'; '' when made from arrays.")
      .def_readonly("title", &Spectrum::title, "The file's own title or comment, '' when none.")
      .def_readonly("traces", &Spectrum::traces, "Traces in the file (the first one is read).")
      .def_readonly("path", &Spectrum::path, "The path that was read; '' when made from arrays.")
      .def("__repr__", [](const Spectrum& s) {
        const std::string points = std::to_string(s.field.size()) + " points";
        return s.path.empty() ? "<quorra.Spectrum " + points + ">"
                              : "<quorra.Spectrum " + s.format + " " + points + " from " + s.path + ">";
      });

  m.def("read", &read, py::arg("path"),
        "Reads an experimental spectrum, the reader chosen by the extension in any case as the\n"
        "desktop program's loaders and the command line choose: .dta with its .dsc (BES3T), .spc\n"
        "with its .par (ESP), .dat (Harrow), anything else as a text spectrum. No file is written.\n"
        "A file that cannot be read raises FileNotFoundError when the path does not exist and\n"
        "ValueError otherwise, with the reader's messages as the command line prints them.");

  m.def("write_text", &writeText, py::arg("path"), py::arg("field"), py::arg("intensity"),
        "Writes a two-column text spectrum, one line per point: field in gauss and intensity as\n"
        "\"%10.4lf %12.5E\", as `quorra simulate` writes its output. The file replaces path only\n"
        "when complete; a failure raises OSError \"cannot write PATH: REASON\".");

  m.def("write_harrow", &writeHarrow, py::arg("path"), py::arg("field"), py::arg("intensity"),
        py::arg("frequency"), py::arg("header") = "Exp", py::arg("comment") = "",
        "Writes a Harrow .dat file as the acquisition window saves it: the header line,\n"
        "\"Source Freq\" with the frequency in GHz, the comment, \">BEGIN\", then field in tesla\n"
        "and two channels per row. A complex intensity gives its real part to channel 1 and its\n"
        "imaginary part to channel 2; a real one goes to channel 2 with zeros in channel 1, as\n"
        "`quorra convert` writes a one-trace file. Replaces path only when complete.");
}

}  // namespace quorra::python
