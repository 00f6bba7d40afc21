#include "data/spectrum_file_kind.h"

#include "data/file_access.h"

namespace quorra {

SpectrumFileKind spectrumFileKind(const std::string& path) {
  const std::string extension = lowerCaseExtension(path);
  if (extension == "dta") return SpectrumFileKind::Bes3t;
  if (extension == "spc") return SpectrumFileKind::Esp;
  if (extension == "dat") return SpectrumFileKind::Harrow;
  return SpectrumFileKind::Text;
}

}  // namespace quorra
