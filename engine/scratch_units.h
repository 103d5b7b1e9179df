// Scratch unit manager: which unit serves a scratch file, and the operations on it.
//
// SCRUNI(requested, name, name_len, unit)
//   requested  in   the name the caller asks for (MIRAX2 asks for "OPTIMIZESCRATCH"); not used
//   name       out  name_len characters: "SCRATCH" padded with blanks (cut if name_len < 7)
//   unit       out  the scratch unit, always 40
// SCROPS(unit, name, keyword, ierr)
//   unit       in   the unit number;  name  in  travels along, unused
//   keyword    in   "SCRATCHUNF"     connect a new unformatted sequential scratch file unless connected
//                   "SCRATCHREWIND"  rewind the unit if it is connected
//                   "SCRATCHCLOSE"   close the unit with deletion of its file if it is connected
//                   (exact comparison, trailing blanks ignored)
//   ierr       out  0 success; -1 when the I/O layer reports a failure or the keyword is unknown
// Nothing is written to the listing and nothing is remembered between calls.
#pragma once

#include <string_view>

namespace vek::engine {

void SCRUNI(std::string_view requested, char* name, int name_len, int& unit);
void SCROPS(const int& unit, std::string_view name, std::string_view keyword, int& ierr);

}  // namespace vek::engine
