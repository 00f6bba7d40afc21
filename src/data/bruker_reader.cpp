#include "data/bruker_reader.h"

#include <string_view>

#include "data/bes3t_reader.h"
#include "data/esp_reader.h"
#include "data/file_access.h"
#include "data/text_helpers.h"

namespace quorra {

ReadOutcome ReadBrukerSpectrum(const std::string& path, const PreviousGrid& previous) {
  // The extension follows the last dot, searched back to the second character.
  size_t dot = std::string::npos;
  for (size_t i = path.size(); i-- > 1;) {
    if (path[i] == '.') {
      dot = i;
      break;
    }
  }
  if (dot == std::string::npos) return {};
  const std::string base = path.substr(0, dot);
  const std::string_view extension = std::string_view(path).substr(dot + 1);
  if (equalsIgnoringCase(extension, "dta"))
    return ReadBes3tSpectrum(path, findCompanionFile(base, "dsc"), previous);
  if (equalsIgnoringCase(extension, "spc"))
    return ReadEspSpectrum(path, findCompanionFile(base, "par"), previous);
  return {};
}

}  // namespace quorra
