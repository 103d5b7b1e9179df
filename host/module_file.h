// A check of a module file before it is handed to the system loader. The loader maps the segments
// that the ELF program headers name, and a segment past the end of a truncated file faults (SIGBUS)
// inside dlopen instead of failing: such a file is refused here with a message.
//
// module_load_path(path)   the path as the loader must get it to load exactly that file: a name
//                          without a directory separator gets "./" in front, because the loader
//                          searches the library path for bare names instead of the current folder.
// module_file_fault(path)  an empty text when the file may go to the loader; else a message (the file
//                          cannot be read, or a program header table or loadable segment reaches past
//                          the end of the file). Files that are not ELF of this machine's class and byte
//                          order are left to the loader, which names its own reason. On systems without
//                          ELF modules (Windows) nothing is checked.
#pragma once

#include <string>

namespace talvir::host {

std::string module_load_path(const std::string& path);
std::string module_file_fault(const std::string& path);

}  // namespace talvir::host
