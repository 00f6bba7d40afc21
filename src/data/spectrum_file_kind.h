#pragma once
// Which reader loads a spectrum file, told by the extension of its name in
// any case. The desktop program's loaders and the command line choose the
// same way.

#include <string>

namespace quorra {

enum class SpectrumFileKind {
  Bes3t,   // .dta: binary data beside a .dsc description
  Esp,     // .spc: binary data beside a .par parameter file
  Harrow,  // .dat: two-channel text with a header
  Text,    // anything else, a name without an extension too
};

SpectrumFileKind spectrumFileKind(const std::string& path);

}  // namespace quorra
