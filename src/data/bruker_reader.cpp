#include "data/bruker_reader.h"

#include "data/bes3t_reader.h"
#include "data/esp_reader.h"
#include "data/file_access.h"
#include "data/spectrum_file_kind.h"

namespace quorra {

ReadOutcome ReadBrukerSpectrum(const std::string& path, const PreviousGrid& previous) {
  const SpectrumFileKind kind = spectrumFileKind(path);
  if (kind != SpectrumFileKind::Bes3t && kind != SpectrumFileKind::Esp) return {};
  // The path ends in ".dta" or ".spc"; one that is nothing else has no base
  // name to pair.
  const size_t suffix = 4;
  if (path.size() == suffix) return {};
  const std::string base = path.substr(0, path.size() - suffix);
  if (kind == SpectrumFileKind::Bes3t)
    return ReadBes3tSpectrum(path, findCompanionFile(base, "dsc"), previous);
  return ReadEspSpectrum(path, findCompanionFile(base, "par"), previous);
}

}  // namespace quorra
