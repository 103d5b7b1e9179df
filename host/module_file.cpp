// module_file_fault (see module_file.h for the contract).
#include "host/module_file.h"

#if defined(__ELF__)
#include <elf.h>
#include <link.h>
#endif

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace talvir::host {

std::string module_load_path(const std::string& path) {
#if defined(_WIN32)
  const bool has_directory = path.find_first_of("/\\:") != std::string::npos;
#else
  const bool has_directory = path.find('/') != std::string::npos;
#endif
  return has_directory || path.empty() ? path : "./" + path;
}

#if defined(__ELF__)
namespace {

// ElfW(...) names the headers of this machine's class (32 or 64 bits).
using ElfHeader = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);

bool is_native_elf(const ElfHeader& h) {
  const unsigned char own_class = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  const std::uint16_t probe = 1;
  unsigned char first_byte = 0;
  std::memcpy(&first_byte, &probe, 1);
  const unsigned char own_order = first_byte == 1 ? ELFDATA2LSB : ELFDATA2MSB;
  return std::memcmp(h.e_ident, ELFMAG, SELFMAG) == 0 && h.e_ident[EI_CLASS] == own_class &&
         h.e_ident[EI_DATA] == own_order;
}

std::string past_end(const std::string& path, const char* what, unsigned long long end,
                     unsigned long long size) {
  return "the solver module " + path + " is damaged or truncated: its " + what + " ends at byte " +
         std::to_string(end) + " but the file has " + std::to_string(size) + " bytes";
}

}  // namespace

std::string module_file_fault(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return {};  // missing or unreadable: the loader says which
  const unsigned long long size = static_cast<unsigned long long>(file.tellg());
  ElfHeader header{};
  file.seekg(0);
  if (size < sizeof header || !file.read(reinterpret_cast<char*>(&header), sizeof header)) return {};
  if (!is_native_elf(header)) return {};
  const unsigned long long table_end = static_cast<unsigned long long>(header.e_phoff) +
                                       static_cast<unsigned long long>(header.e_phnum) * header.e_phentsize;
  if (header.e_phentsize != sizeof(ProgramHeader) || table_end > size)
    return past_end(path, "program header table", table_end, size);
  std::vector<ProgramHeader> segments(header.e_phnum);
  file.seekg(static_cast<std::streamoff>(header.e_phoff));
  file.read(reinterpret_cast<char*>(segments.data()),
            static_cast<std::streamsize>(segments.size() * sizeof(ProgramHeader)));
  if (!file) return "the solver module " + path + " cannot be read";
  for (const ProgramHeader& s : segments) {
    const unsigned long long end = static_cast<unsigned long long>(s.p_offset) + s.p_filesz;
    if (s.p_filesz > 0 && end > size) return past_end(path, "segment", end, size);
  }
  return {};
}

#else

std::string module_file_fault(const std::string&) {
  return {};
}

#endif

}  // namespace talvir::host
