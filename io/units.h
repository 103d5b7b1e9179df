// Numbered I/O units, kept in unit tables.
//
// The engine writes its listing to unit 7 and keeps one unformatted scratch record on unit 40; the host
// services connect unit 7 to the solver's temporary listing file and disconnect it after every engine
// call. A UnitTable holds the state of every numbered unit. Each free function below acts on the calling
// thread's current table: the one named by the innermost live UnitScope of that thread, else the
// process table (process_units()), which the plug-in and its host services share. A table is not
// synchronised: one thread at a time uses it, and two tables used in two threads never meet.
//
// Text units:
//   connect(unit, path)   opens `path` for writing, starting it empty, and connects `unit` to it (an
//                         earlier connection of the unit is closed first). Returns false when the file
//                         cannot be opened, or (POSIX) when `path` is a symbolic link; the unit is then
//                         not connected. (POSIX: a file that is already an empty regular file of
//                         this user is opened only when text must be written.)
//   connect_sink(unit, sink, context)
//                         connects `unit` to a line sink instead of a file (an earlier connection is
//                         closed first). Each finished line is handed to sink(context, text, length) at
//                         its end_line, newline included, as one call: text[0..length) are exactly the
//                         bytes a file would have received, and text[length] is '\0'. The text is valid
//                         only during the call. A line still unfinished at disconnect is handed on then,
//                         without a newline. Returns false for a null sink.
//   disconnect(unit)      flushes and closes; afterwards the file holds every byte written. Returns
//                         false when the unit was not connected, or when a file write or close failed.
//   is_connected(unit)    true while the unit is connected (to a file or a sink).
//   is_connected_to(unit, path)
//                         true while the unit is connected to the file `path` (same text).
//   put / end_line        append text to the current line / end it. Text for a unit that is not
//                         connected is discarded.
//   last_file_text(unit, path, text)
//                         after disconnect(unit): true when that disconnect closed a connection to the
//                         file `path` (same text) that succeeded in every write, with `text` viewing every
//                         byte the file received; valid until the unit is next connected. False (text
//                         empty) otherwise: no such connection, a failed write, or more text than the
//                         table holds (kHeldTextLimit); the caller then reads the file itself.
//   adopt_file(path, descriptor)
//                         (POSIX) hands the table the open, writable descriptor of the new, empty
//                         regular file `path`, for the next connection to that path, which then opens
//                         nothing; the table closes it. False (the caller keeps it) where not supported.
//   remove_file(path)     removes the file `path` with std::remove and returns its result, after the
//                         table has let go of the file (POSIX: the descriptor of a disconnected unit's
//                         file stays open for its next connection; removing the file through this
//                         function tells the table that the file is gone, so that the next connection
//                         creates it again). A file removed otherwise is created again only when a
//                         connection names another file first.
// Scratch units (unformatted, sequential, unnamed, private; deleted when closed). Every call returns 0
// on success and a non-zero status on failure:
//   open_scratch, rewind, close_scratch, write_record, read_record.
// Among the failures: open_scratch gives kUnitConnected for a unit already connected (to anything);
// rewind and close_scratch give kUnitNotConnected for a unit not connected, and close_scratch gives
// kNotScratchUnit for a unit connected as a text unit.
// A scratch unit lives in the table's own in-memory record store (ScratchStorage::kMemory, the default),
// whose buffer is kept and reused by the next scratch unit of the table; or, when the table is set to
// ScratchStorage::kFile, in an unnamed temporary file of the system. Nothing outside the process can
// tell the two apart; the table counts the files it creates.
#pragma once

#include <cstddef>
#include <string_view>

#if defined(_WIN32)
#if defined(VEK_UNITS_BUILD)
#define VEK_UNITS_API __declspec(dllexport)
#elif defined(VEK_UNITS_INSIDE)  // compiled into another library (libtalvir), which keeps them to itself
#define VEK_UNITS_API
#else
#define VEK_UNITS_API __declspec(dllimport)
#endif
#else
#define VEK_UNITS_API __attribute__((visibility("default")))
#endif

namespace vek::io {

inline constexpr int kListingUnit = 7;
inline constexpr int kScratchUnit = 40;
// Statuses of the scratch operations (0 is success).
inline constexpr int kUnitConnected = 1;
inline constexpr int kUnitNotConnected = 1;
inline constexpr int kNotScratchUnit = 3;
// The most text of one file connection that a table holds for last_file_text; beyond it the text goes
// to the file as it comes, in pieces of this size.
inline constexpr std::size_t kHeldTextLimit = 256 * 1024;

// A piece of one unformatted record: `count` doubles at `data`.
struct RecordPiece {
  double* data;
  std::size_t count;
};

// Receives the finished lines of a text unit connected with connect_sink.
using LineSink = void (*)(void* context, const char* text, std::size_t length);

enum class ScratchStorage { kMemory, kFile };

// The state of every numbered unit: connections, pending text, scratch records, counters. Destroying
// a table closes its units (files flushed and closed, sinks given their unfinished line, scratch data
// dropped); no UnitScope may then name it.
class VEK_UNITS_API UnitTable {
 public:
  UnitTable();
  ~UnitTable();
  UnitTable(const UnitTable&) = delete;
  UnitTable& operator=(const UnitTable&) = delete;

  // Where scratch units opened from now on keep their records.
  void set_scratch_storage(ScratchStorage storage);
  ScratchStorage scratch_storage() const;
  // Scratch units opened, and system files created for them, since the table was made.
  long long scratch_units_opened() const;
  long long scratch_files_created() const;

  struct State;  // defined in io/units.cpp
  State& state() { return *state_; }

 private:
  State* state_;
};

// The process table: used on every thread that has no UnitScope open.
VEK_UNITS_API UnitTable& process_units();
// The table the free functions act on for the calling thread.
VEK_UNITS_API UnitTable& current_units();

// Makes `table` the calling thread's current table for the scope's lifetime; the previous one (another
// scope's table, or none) comes back at its destruction. Scopes nest; each thread has its own.
class VEK_UNITS_API UnitScope {
 public:
  explicit UnitScope(UnitTable& table);
  ~UnitScope();
  UnitScope(const UnitScope&) = delete;
  UnitScope& operator=(const UnitScope&) = delete;

 private:
  UnitTable* previous_;
};

VEK_UNITS_API bool connect(int unit, const char* path);
VEK_UNITS_API bool connect_sink(int unit, LineSink sink, void* context);
VEK_UNITS_API bool disconnect(int unit);
VEK_UNITS_API bool is_connected(int unit);
VEK_UNITS_API bool is_connected_to(int unit, const char* path);
VEK_UNITS_API void put(int unit, std::string_view text);
VEK_UNITS_API void end_line(int unit);
VEK_UNITS_API bool last_file_text(int unit, const char* path, std::string_view& text);
VEK_UNITS_API bool adopt_file(const char* path, int descriptor);
VEK_UNITS_API int remove_file(const char* path);

VEK_UNITS_API int open_scratch(int unit);
VEK_UNITS_API int rewind(int unit);
VEK_UNITS_API int close_scratch(int unit);
// Writes the pieces, in order, as one record at the current position; later records are dropped.
VEK_UNITS_API int write_record(int unit, const RecordPiece* pieces, std::size_t count);
// Reads the next record into the pieces; fails (and changes nothing) when the record's length differs.
VEK_UNITS_API int read_record(int unit, const RecordPiece* pieces, std::size_t count);

}  // namespace vek::io
