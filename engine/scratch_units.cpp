// SCRUNI / SCROPS: the scratch unit manager (see scratch_units.h for the contract).
#include "engine/scratch_units.h"

#include <algorithm>
#include <cstddef>

#include "io/units.h"

namespace vek::engine {
namespace {

std::string_view without_trailing_blanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

void SCRUNI(std::string_view /*requested*/, char* name, int name_len, int& unit) {
  constexpr std::string_view kName = "SCRATCH";
  if (name_len > 0) {
    const std::size_t length = static_cast<std::size_t>(name_len);
    const std::size_t copied = std::min(length, kName.size());
    std::copy(kName.data(), kName.data() + copied, name);
    std::fill(name + copied, name + length, ' ');
  }
  unit = io::kScratchUnit;
}

// One call of the unit layer per operation: a unit already connected (SCRATCHUNF) or not connected
// (SCRATCHREWIND, SCRATCHCLOSE) is left as it is, which is success.
void SCROPS(const int& unit, std::string_view /*name*/, std::string_view keyword, int& ierr) {
  ierr = 0;
  const std::string_view key = without_trailing_blanks(keyword);
  int status = 0;
  if (key == "SCRATCHUNF") {
    status = io::open_scratch(unit);
    if (status == io::kUnitConnected) status = 0;
  } else if (key == "SCRATCHREWIND") {
    status = io::rewind(unit);
    if (status == io::kUnitNotConnected) status = 0;
  } else if (key == "SCRATCHCLOSE") {
    status = io::close_scratch(unit);
    if (status == io::kUnitNotConnected) status = 0;
  } else {
    status = -1;  // not an operation of the manager
  }
  if (status != 0) ierr = -1;
}

}  // namespace vek::engine
