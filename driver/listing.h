// Capture of the engine's listing: output unit 7 is connected to a temporary file at every Solve call
// and read back after every engine call, and the text is forwarded to the host's message sink.
//
//   connect_listing(file)          obtains a file name beginning "TALVIR_txt." when the record has none
//                                  (VEKServices::CreateTemporaryFileName), then connects unit 7 to it
//                                  (VEKServices::OpenFortranLogicalUnit), which starts the file empty.
//                                  A host's own services may know nothing of this module's unit layer:
//                                  when unit 7 is not connected to the file after that call, the module
//                                  connects it itself (starting the file empty) and says so in the record.
//   forward_listing(file, sink)    disconnects unit 7 (VEKServices::CloseFortranLogicalUnit, then the
//                                  module's own disconnect when it connected the unit) and writes the
//                                  file's text to the sink in chunks of at most 512 bytes: while the end
//                                  of the file has not been met, read up to 512 bytes and write them, so
//                                  the read that meets the end still writes its chunk, which may be empty
//                                  (an empty file gives one empty text). A file that cannot be read gives
//                                  kListingUnreadable. When the unit layer wrote the file itself and
//                                  still holds its text (io::last_file_text), that text is forwarded in
//                                  the same chunks without reading the file again.
//   remove_listing(file)           disconnects unit 7 if still connected and removes the file (the name
//                                  is kept for the next solve).
#pragma once

#include <cstddef>

#include "driver/host_interfaces.h"

namespace vek::driver {

inline constexpr const char* kListingPrefix = "TALVIR_txt.";
inline constexpr const char* kListingUnreadable = "VEKTALVIR Error:unable to read intermediate output file\n";
inline constexpr std::size_t kListingChunk = 512;
inline constexpr int kListingUnitNumber = 7;

// The listing file of one solver component.
struct ListingFile {
  char* name = nullptr;         // from VEKServices::CreateTemporaryFileName, given back at destruction
  bool connected_here = false;  // unit 7 was connected by the module, not by the host's services
};

void connect_listing(ListingFile& file);
void forward_listing(ListingFile& file, MessageSink* sink);
void remove_listing(ListingFile& file);

// Writes `text` to the sink when there is one.
void say(MessageSink* sink, const char* text);

}  // namespace vek::driver
