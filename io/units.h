// Numbered I/O units, one table per process.
//
// The engine writes its listing to unit 7 and keeps one unformatted scratch record on unit 40; the host
// services connect unit 7 to the solver's temporary listing file and disconnect it after every engine
// call. All functions run on the caller's thread; the table is not synchronised (one solve at a time).
//
// Text units:
//   connect(unit, path)   opens `path` for writing, starting it empty, and connects `unit` to it (an
//                         earlier connection of the unit is closed first). Returns false when the file
//                         cannot be opened, or (POSIX) when `path` is a symbolic link; the unit is then
//                         not connected.
//   disconnect(unit)      flushes and closes; afterwards the file holds every byte written. Returns
//                         false when the unit was not connected.
//   put / end_line        append text to the current line / end it. Text for a unit that is not
//                         connected is discarded.
// Scratch units (unformatted, sequential, unnamed; deleted when closed). Every call returns 0 on
// success and a non-zero status on failure:
//   open_scratch, rewind, close_scratch, write_record, read_record.
#pragma once

#include <cstddef>
#include <string_view>

#if defined(_WIN32)
#if defined(VEK_UNITS_BUILD)
#define VEK_UNITS_API __declspec(dllexport)
#else
#define VEK_UNITS_API __declspec(dllimport)
#endif
#else
#define VEK_UNITS_API __attribute__((visibility("default")))
#endif

namespace vek::io {

inline constexpr int kListingUnit = 7;
inline constexpr int kScratchUnit = 40;

// A piece of one unformatted record: `count` doubles at `data`.
struct RecordPiece {
  double* data;
  std::size_t count;
};

VEK_UNITS_API bool connect(int unit, const char* path);
VEK_UNITS_API bool disconnect(int unit);
VEK_UNITS_API bool is_connected(int unit);
VEK_UNITS_API void put(int unit, std::string_view text);
VEK_UNITS_API void end_line(int unit);

VEK_UNITS_API int open_scratch(int unit);
VEK_UNITS_API int rewind(int unit);
VEK_UNITS_API int close_scratch(int unit);
// Writes the pieces, in order, as one record at the current position.
VEK_UNITS_API int write_record(int unit, const RecordPiece* pieces, std::size_t count);
// Reads the next record into the pieces; fails (and changes nothing) when the record's length differs.
VEK_UNITS_API int read_record(int unit, const RecordPiece* pieces, std::size_t count);

}  // namespace vek::io
