// Unit tables: text units on files or line sinks, scratch units in memory or in unnamed files, the
// process table and the per-thread current table (contracts in io/units.h).
#include "io/units.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include "io/windows_files.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vek::io {
namespace {

// The file of a text unit. start() makes sure the file exists and is empty; write() appends text;
// finish() ends the connection; release() gives everything back.
//
// On POSIX systems the file is never reached through a symbolic link (listing files live in a shared
// temporary folder, where a planted link could redirect the text), and the descriptor stays open after
// finish(), until release(): text written through it is in the file at once for every reader, so
// finish() has nothing left to do, and a later start() for the same path only truncates the file when
// the previous connection wrote to it, with no system call at all after a silent one. The table's
// owner removes such a file through remove_file(), which releases the descriptor first; a file that is
// opened anew is checked (one fstat) to be a regular file and made empty if it is not.
//
// On Windows the file is opened in binary mode (no CR LF) at every start(), emptied, and refused when
// the name is a reparse point (symbolic link, junction): io/windows_files.h.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile(OutputFile&& other) noexcept { swap(other); }
  OutputFile& operator=(OutputFile&& other) noexcept {
    swap(other);
    return *this;
  }
  ~OutputFile() { release(); }

#if defined(_WIN32)
  bool start(const char* path) {
    release();
    file_ = open_unfollowed(path, FileAccess::kWriteEmpty);
    return file_ != nullptr;
  }
  bool write(const std::string& text) {
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  }
  bool finish() {
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }
  void release() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }
#else
  bool start(const char* path) {
    const bool written = offset_ > 0;
    offset_ = 0;
    if (fd_ >= 0 && path_ == path && (!written || ::ftruncate(fd_, 0) == 0)) return true;
    release();
    fd_ = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    path_.assign(path);
    if (still_there_and_empty()) return true;
    release();
    return false;
  }
  bool write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::pwrite(fd_, text.data() + done, text.size() - done, offset_);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
      offset_ += n;
    }
    return true;
  }
  bool finish() {
    return true;
  }
  // Takes over the open descriptor of the new, empty file `path`.
  void adopt(const char* path, int descriptor) {
    release();
    fd_ = descriptor;
    path_.assign(path);
  }
  void release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    offset_ = 0;
    path_.clear();
  }
#endif
  void forget_name() {
#if !defined(_WIN32)
    path_.clear();
#endif
  }
  bool is_for(const char* path) const {
#if defined(_WIN32)
    (void)path;
    return false;
#else
    return fd_ >= 0 && path_ == path;
#endif
  }

 private:
#if defined(_WIN32)
  void swap(OutputFile& other) {
    std::swap(file_, other.file_);
  }
  std::FILE* file_ = nullptr;
#else
  // True when the descriptor's file is a regular file, now empty.
  bool still_there_and_empty() {
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return info.st_size == 0 || ::ftruncate(fd_, 0) == 0;
  }
  void swap(OutputFile& other) {
    std::swap(fd_, other.fd_);
    std::swap(offset_, other.offset_);
    path_.swap(other.path_);
  }
  int fd_ = -1;
  off_t offset_ = 0;
  std::string path_;
#endif
};

// A new scratch file that the system removes when it is closed. Windows: in the temporary folder, as
// tmpfile() there may try the root folder of the drive.
std::FILE* open_unnamed_scratch() {
#if defined(_WIN32)
  return open_scratch_file();
#else
  return std::tmpfile();
#endif
}

enum class Kind { kNone, kTextFile, kTextSink, kScratchMemory, kScratchFile };

// One unit number's slot. Slots are never removed, so their buffers keep their room between
// connections: the pending text of unit 7 and the record store of unit 40 are reused call after call.
struct Unit {
  int number = 0;
  Kind kind = Kind::kNone;  // kNone: not connected

  // Text units. `pending` is the text not yet handed on: for a file, everything since connect while
  // `holding` (so last_file_text can give it back); for a sink, the unfinished line.
  OutputFile file;
  LineSink sink = nullptr;
  void* context = nullptr;
  std::string path, pending;
  bool holding = false, failed = false;
  // The whole text of the latest file connection, kept by its disconnect.
  std::string held, held_path;
  bool held_valid = false;

  // Scratch units: the system file, or the record store. A stored record is its length (64-bit, in
  // one slot) followed by its values; `used` slots hold records, `position` is the next one to touch.
  std::FILE* scratch_file = nullptr;
  std::vector<double> store;
  std::size_t used = 0, position = 0;
};

bool is_text(Kind k) {
  return k == Kind::kTextFile || k == Kind::kTextSink;
}
bool is_scratch(Kind k) {
  return k == Kind::kScratchMemory || k == Kind::kScratchFile;
}

std::size_t total_count(const RecordPiece* pieces, std::size_t count) {
  std::size_t total = 0;
  for (std::size_t k = 0; k < count; ++k) total += pieces[k].count;
  return total;
}

thread_local UnitTable* current_table = nullptr;

}  // namespace

struct UnitTable::State {
  // Few numbers are ever used (7 and 40): searched linearly. The first two slots are part of the table
  // and later ones go to a deque made when first needed, so that a table costs one allocation; a new
  // slot never moves the others (a line sink may write to another unit while it is handed a line).
  static constexpr int kInlineSlots = 2;
  Unit inline_slots[kInlineSlots];
  int inline_used = 0;
  std::unique_ptr<std::deque<Unit>> more_slots;
  OutputFile adopted;  // a new file's descriptor, for the first connection to it
  ScratchStorage storage = ScratchStorage::kMemory;
  long long scratch_opened = 0, scratch_files = 0;

  // Calls f(u) for every slot, in the order they were made.
  template <class F>
  void each(F&& f) {
    for (int k = 0; k < inline_used; ++k) f(inline_slots[k]);
    if (more_slots)
      for (Unit& u : *more_slots) f(u);
  }
  // The first slot with `number`, or null.
  Unit* slot_of(int number) {
    for (int k = 0; k < inline_used; ++k)
      if (inline_slots[k].number == number) return &inline_slots[k];
    if (more_slots)
      for (Unit& u : *more_slots)
        if (u.number == number) return &u;
    return nullptr;
  }
  Unit* find(int number) {
    Unit* u = slot_of(number);
    return u != nullptr && u->kind != Kind::kNone ? u : nullptr;
  }
  Unit& slot(int number) {
    if (Unit* u = slot_of(number)) return *u;
    Unit* fresh = nullptr;
    if (inline_used < kInlineSlots) {
      fresh = &inline_slots[inline_used++];
    } else {
      if (!more_slots) more_slots = std::make_unique<std::deque<Unit>>();
      fresh = &more_slots->emplace_back();
    }
    fresh->number = number;
    return *fresh;
  }
};

namespace {

UnitTable::State& current() {
  UnitTable* const table = current_table;
  return (table != nullptr ? *table : process_units()).state();
}

// Hands the pending text of a file unit to the file; false when a write fails.
bool flush_file(Unit& u) {
  const bool ok = u.file.write(u.pending);
  if (!ok) u.failed = true;
  u.pending.clear();
  u.holding = false;
  return ok;
}

bool close_text_file(Unit& u) {
  bool ok = u.file.write(u.pending) && !u.failed;
  ok = u.file.finish() && ok;
  u.held.swap(u.pending);
  u.held_path.swap(u.path);
  u.held_valid = ok && u.holding;
  u.pending.clear();
  return ok;
}

void close_sink(Unit& u) {
  if (!u.pending.empty()) u.sink(u.context, u.pending.c_str(), u.pending.size());
  u.pending.clear();
  u.sink = nullptr;
  u.context = nullptr;
}

bool close_scratch_unit(Unit& u) {
  u.used = 0;
  u.position = 0;
  if (u.kind != Kind::kScratchFile) return true;
  const bool ok = std::fclose(u.scratch_file) == 0;
  u.scratch_file = nullptr;
  return ok;
}

// Closes whatever connects the unit; false when a write or close failed.
bool close_unit(Unit& u) {
  bool ok = true;
  if (u.kind == Kind::kTextFile) ok = close_text_file(u);
  if (u.kind == Kind::kTextSink) close_sink(u);
  if (is_scratch(u.kind)) ok = close_scratch_unit(u);
  u.kind = Kind::kNone;
  return ok;
}

// Readies a slot for a new text connection, closing an earlier one.
Unit& fresh_text_slot(int unit) {
  Unit& u = current().slot(unit);
  if (u.kind != Kind::kNone) close_unit(u);
  u.held_valid = false;
  u.held.clear();
  u.pending.clear();
  u.failed = false;
  return u;
}

int write_to_store(Unit& u, const RecordPiece* pieces, std::size_t count) {
  const std::size_t total = total_count(pieces, count);
  const std::size_t end = u.position + 1 + total;
  if (u.store.size() < end) u.store.resize(end);  // grows once; later set-ups reuse the room
  const std::uint64_t length = total;
  std::memcpy(&u.store[u.position], &length, sizeof length);
  double* next = u.store.data() + u.position + 1;
  for (std::size_t k = 0; k < count; ++k) {
    if (pieces[k].count > 0) std::memcpy(next, pieces[k].data, pieces[k].count * sizeof(double));
    next += pieces[k].count;
  }
  u.position = end;
  u.used = end;  // a sequential write ends the records
  return 0;
}

int read_from_store(Unit& u, const RecordPiece* pieces, std::size_t count) {
  if (u.position >= u.used) return 2;  // no record left
  std::uint64_t length = 0;
  std::memcpy(&length, &u.store[u.position], sizeof length);
  if (length != total_count(pieces, count)) return 3;
  const double* next = u.store.data() + u.position + 1;
  for (std::size_t k = 0; k < count; ++k) {
    if (pieces[k].count > 0) std::memcpy(pieces[k].data, next, pieces[k].count * sizeof(double));
    next += pieces[k].count;
  }
  u.position += 1 + length;
  return 0;
}

// In a file a record is its length in doubles (64-bit) followed by the doubles in machine representation.
int write_to_file(std::FILE* f, const RecordPiece* pieces, std::size_t count) {
  const std::uint64_t total = total_count(pieces, count);
  if (std::fwrite(&total, sizeof total, 1, f) != 1) return 2;
  for (std::size_t k = 0; k < count; ++k) {
    const RecordPiece& p = pieces[k];
    if (p.count > 0 && std::fwrite(p.data, sizeof(double), p.count, f) != p.count) return 2;
  }
  return std::fflush(f) == 0 ? 0 : 2;
}

int read_from_file(std::FILE* f, const RecordPiece* pieces, std::size_t count) {
  std::uint64_t total = 0;
  if (std::fread(&total, sizeof total, 1, f) != 1) return 2;
  if (total != total_count(pieces, count)) return 3;
  for (std::size_t k = 0; k < count; ++k) {
    const RecordPiece& p = pieces[k];
    if (p.count > 0 && std::fread(p.data, sizeof(double), p.count, f) != p.count) return 2;
  }
  return 0;
}

}  // namespace

UnitTable::UnitTable() : state_(new State) {}

UnitTable::~UnitTable() {
  state_->each([](Unit& u) {
    if (u.kind != Kind::kNone) close_unit(u);
  });
  delete state_;
}

void UnitTable::set_scratch_storage(ScratchStorage storage) {
  state_->storage = storage;
}
ScratchStorage UnitTable::scratch_storage() const {
  return state_->storage;
}
long long UnitTable::scratch_units_opened() const {
  return state_->scratch_opened;
}
long long UnitTable::scratch_files_created() const {
  return state_->scratch_files;
}

UnitTable& process_units() {
  static UnitTable table;
  return table;
}

UnitTable& current_units() {
  return current_table != nullptr ? *current_table : process_units();
}

UnitScope::UnitScope(UnitTable& table) : previous_(current_table) {
  current_table = &table;
}
UnitScope::~UnitScope() {
  current_table = previous_;
}

bool connect(int unit, const char* path) {
  Unit& u = fresh_text_slot(unit);
  UnitTable::State& table = current();
  if (path != nullptr && !u.file.is_for(path) && table.adopted.is_for(path)) {
    u.file = std::move(table.adopted);  // the two swap: the slot's earlier file goes
    table.adopted.release();
  }
  // Starting the file empty makes every read-back after an engine call forward only the new text.
  if (path == nullptr || !u.file.start(path)) return false;
  u.kind = Kind::kTextFile;
  u.path.assign(path);
  u.holding = true;
  return true;
}

bool connect_sink(int unit, LineSink sink, void* context) {
  Unit& u = fresh_text_slot(unit);
  if (sink == nullptr) return false;
  u.kind = Kind::kTextSink;
  u.sink = sink;
  u.context = context;
  return true;
}

bool disconnect(int unit) {
  Unit* u = current().find(unit);
  return u != nullptr && close_unit(*u);
}

bool is_connected(int unit) {
  return current().find(unit) != nullptr;
}

bool is_connected_to(int unit, const char* path) {
  const Unit* u = current().find(unit);
  return u != nullptr && path != nullptr && u->kind == Kind::kTextFile && u->path == path;
}

void put(int unit, std::string_view text) {
  Unit* u = current().find(unit);
  if (u == nullptr || !is_text(u->kind) || text.empty()) return;
  u->pending.append(text.data(), text.size());
  if (u->kind == Kind::kTextFile && u->pending.size() >= kHeldTextLimit) flush_file(*u);
}

void end_line(int unit) {
  Unit* u = current().find(unit);
  if (u == nullptr || !is_text(u->kind)) return;
  u->pending.push_back('\n');
  if (u->kind == Kind::kTextSink) {
    u->sink(u->context, u->pending.c_str(), u->pending.size());
    u->pending.clear();
  } else if (u->pending.size() >= kHeldTextLimit) {
    flush_file(*u);
  }
}

bool last_file_text(int unit, const char* path, std::string_view& text) {
  text = {};
  const Unit* u = current().slot_of(unit);
  if (u == nullptr || u->kind != Kind::kNone || !u->held_valid || path == nullptr || u->held_path != path)
    return false;
  text = u->held;
  return true;
}

bool adopt_file(const char* path, int descriptor) {
#if defined(_WIN32)
  (void)path;
  (void)descriptor;
  return false;
#else
  if (path == nullptr || descriptor < 0) return false;
  current().adopted.adopt(path, descriptor);
  return true;
#endif
}

int remove_file(const char* path) {
  if (path == nullptr) return -1;
  if (current().adopted.is_for(path)) current().adopted.release();
  current().each([path](Unit& u) {
    if (!u.file.is_for(path)) return;
    if (u.kind == Kind::kTextFile) {
      u.file.forget_name();  // still written to; its next connection opens the file by name
    } else {
      u.file.release();
    }
  });
  return std::remove(path);
}

int open_scratch(int unit) {
  UnitTable::State& table = current();
  Unit& u = table.slot(unit);
  if (u.kind != Kind::kNone) return kUnitConnected;  // never reopen a connected unit behind its owner's back
  if (table.storage == ScratchStorage::kFile) {
    u.scratch_file = open_unnamed_scratch();  // removed by the system when closed
    if (u.scratch_file == nullptr) return 2;
    ++table.scratch_files;
  }
  u.kind = table.storage == ScratchStorage::kFile ? Kind::kScratchFile : Kind::kScratchMemory;
  u.used = 0;
  u.position = 0;
  ++table.scratch_opened;
  return 0;
}

int rewind(int unit) {
  Unit* u = current().find(unit);
  if (u == nullptr) return kUnitNotConnected;
  if (u->kind == Kind::kScratchFile) return std::fseek(u->scratch_file, 0, SEEK_SET) == 0 ? 0 : 2;
  if (u->kind == Kind::kScratchMemory) u->position = 0;
  return 0;  // a text unit has nothing to rewind: its text is already on its way
}

int close_scratch(int unit) {
  Unit* u = current().find(unit);
  if (u == nullptr) return kUnitNotConnected;
  if (!is_scratch(u->kind)) return kNotScratchUnit;
  return close_unit(*u) ? 0 : 2;
}

int write_record(int unit, const RecordPiece* pieces, std::size_t count) {
  Unit* u = current().find(unit);
  if (u == nullptr || !is_scratch(u->kind)) return 1;
  if (u->kind == Kind::kScratchFile) return write_to_file(u->scratch_file, pieces, count);
  return write_to_store(*u, pieces, count);
}

int read_record(int unit, const RecordPiece* pieces, std::size_t count) {
  Unit* u = current().find(unit);
  if (u == nullptr || !is_scratch(u->kind)) return 1;
  if (u->kind == Kind::kScratchFile) return read_from_file(u->scratch_file, pieces, count);
  return read_from_store(*u, pieces, count);
}

}  // namespace vek::io
