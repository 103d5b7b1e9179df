// Listing capture through a temporary file (contract in driver/listing.h).
#include "driver/listing.h"

#include <sys/stat.h>

#if defined(_WIN32)
#include "io/windows_files.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "io/units.h"
#include "services/VEKServices.h"

namespace vek::driver {

void say(MessageSink* sink, const char* text) {
  if (sink != nullptr) sink->Write(text);
}

namespace {

// Disconnects unit 7 through the services and, when the module connected it itself, through the unit
// layer too. True when a connection was closed.
bool disconnect_listing(ListingFile& file) {
  bool closed = VEKServices::CloseFortranLogicalUnit(kListingUnitNumber);
  if (file.connected_here) closed = io::disconnect(kListingUnitNumber);
  file.connected_here = false;
  return closed;
}

// Opens the listing file for reading, in binary mode, or returns null. A symbolic link at the name
// (Windows: any reparse point) is refused: the file lives in a shared temporary folder, and a planted
// link would forward another file's text to the host. `empty` tells whether the file has no bytes (then
// nothing is opened).
std::FILE* open_listing(const char* name, bool& empty) {
  empty = false;
#if defined(_WIN32)
  std::FILE* file = vek::io::open_unfollowed(name, vek::io::FileAccess::kRead);
  if (file != nullptr && std::fgetc(file) == EOF) {
    empty = !std::ferror(file);
    std::fclose(file);
    return nullptr;
  }
  if (file != nullptr) std::rewind(file);
  return file;
#else
  const int fd = ::open(name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
    empty = S_ISREG(info.st_mode) && info.st_size == 0;
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "r");
  if (file == nullptr) ::close(fd);
  return file;
#endif
}

// The text of the connection just closed, in the chunks a read of the file would give: every chunk but
// the last holds 512 bytes, and the last (the read that meets the end) the rest, which may be nothing.
void forward_held_text(std::string_view text, MessageSink* sink) {
  char chunk[kListingChunk + 1];
  for (;;) {
    const std::size_t length = std::min(text.size(), kListingChunk);
    std::memcpy(chunk, text.data(), length);
    chunk[length] = '\0';
    say(sink, chunk);
    if (length < kListingChunk) return;
    text.remove_prefix(length);
  }
}

}  // namespace

void connect_listing(ListingFile& file) {
  if (file.name == nullptr) VEKServices::CreateTemporaryFileName(file.name, kListingPrefix);
  if (file.name == nullptr) return;
  VEKServices::OpenFortranLogicalUnit(kListingUnitNumber, file.name);
  // A host's services that connect nothing in this module's unit layer would lose the listing; a
  // connection of the module's own from an earlier call is started afresh, as the services would.
  const bool by_services = !file.connected_here && io::is_connected_to(kListingUnitNumber, file.name);
  file.connected_here = !by_services && io::connect(kListingUnitNumber, file.name);
}

void forward_listing(ListingFile& listing, MessageSink* sink) {
  const char* name = listing.name;
  // When the unit layer itself wrote the file and still holds the text, the file need not be read back.
  std::string_view held;
  if (disconnect_listing(listing) && io::last_file_text(kListingUnitNumber, name, held)) {
    forward_held_text(held, sink);
    return;
  }
  bool empty = false;
  std::FILE* file = name != nullptr ? open_listing(name, empty) : nullptr;
  // A silent engine leaves the file empty, and an empty file reads back as exactly one empty text.
  if (empty) {
    say(sink, "");
    return;
  }
  if (file == nullptr) {
    say(sink, kListingUnreadable);
    return;
  }
  char chunk[kListingChunk + 1];
  while (!std::feof(file)) {
    const std::size_t read = std::fread(chunk, 1, kListingChunk, file);
    chunk[read] = '\0';
    say(sink, chunk);
    if (read < kListingChunk && std::ferror(file)) break;  // a read error would never meet the end
  }
  std::fclose(file);
}

void remove_listing(ListingFile& file) {
  disconnect_listing(file);                              // a no-op when it is not connected
  if (file.name != nullptr) io::remove_file(file.name);  // std::remove, once the unit layer let go of it
}

}  // namespace vek::driver
