// Listing capture through a temporary file (contract in driver/listing.h).
#include "driver/listing.h"

#include <sys/stat.h>

#include <cstdio>

#include "services/VEKServices.h"

namespace vek::driver {

void say(MessageSink* sink, const char* text) {
  if (sink != nullptr) sink->Write(text);
}

void connect_listing(char*& name) {
  if (name == nullptr) VEKServices::CreateTemporaryFileName(name, kListingPrefix);
  if (name != nullptr) VEKServices::OpenFortranLogicalUnit(kListingUnitNumber, name);
}

void forward_listing(const char* name, MessageSink* sink) {
  VEKServices::CloseFortranLogicalUnit(kListingUnitNumber);
  if (name == nullptr) {
    say(sink, kListingUnreadable);
    return;
  }
  // A silent engine leaves the file empty, and an empty file reads back as exactly one empty text: a
  // stat answers that without opening, reading and closing the file at every call.
  struct stat info {};
  if (stat(name, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0) {
    say(sink, "");
    return;
  }
  std::FILE* file = std::fopen(name, "r");
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

void remove_listing(const char* name) {
  VEKServices::CloseFortranLogicalUnit(kListingUnitNumber);  // a no-op when it is not connected
  if (name != nullptr) std::remove(name);
}

}  // namespace vek::driver
