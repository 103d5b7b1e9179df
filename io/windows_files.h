// Windows only: opening a file in binary mode, never through a symbolic link or other reparse point
// planted at its name (what O_NOFOLLOW does on POSIX systems). The listing file lives in a shared
// temporary folder, where a planted link could redirect the engine's text or forward another file's.
//
//   open_unfollowed(path, FileAccess::kWriteEmpty)  opens or creates the file for writing and empties it
//   open_unfollowed(path, FileAccess::kRead)        opens an existing file for reading
// Both open in binary mode (no CR LF translation) and return null when the file cannot be opened, or
// when the name is a reparse point (symbolic link, junction) or a directory; a refused file is left as it
// was. The name itself is opened with FILE_FLAG_OPEN_REPARSE_POINT, so a link is never followed.
//
//   open_scratch_file()   a new, empty scratch file in the system temporary folder, open for update in
//                         binary mode and deleted by the system when closed (tmpfile() may try the root
//                         folder of the drive); null when none can be made.
#pragma once

#if defined(_WIN32)
#include <cstdio>

#include "io/units.h"

namespace vek::io {

enum class FileAccess { kWriteEmpty, kRead };

VEK_UNITS_API std::FILE* open_unfollowed(const char* path, FileAccess access);
VEK_UNITS_API std::FILE* open_scratch_file();

}  // namespace vek::io
#endif
