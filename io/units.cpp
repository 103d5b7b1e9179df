// The process-wide unit table: a text file or an unnamed scratch file per connected unit number.
#include "io/units.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vek::io {
namespace {

enum class Kind { kText, kScratch };

struct Unit {
  int number;
  Kind kind;
  std::FILE* file;
};

// Few units are ever connected at once (7 and 40), so a short vector searched linearly is enough.
std::vector<Unit>& table() {
  static std::vector<Unit> units;
  return units;
}

Unit* find(int unit) {
  for (Unit& u : table())
    if (u.number == unit) return &u;
  return nullptr;
}

bool close_unit(int unit) {
  auto& units = table();
  for (auto it = units.begin(); it != units.end(); ++it) {
    if (it->number != unit) continue;
    const bool ok = std::fclose(it->file) == 0;
    units.erase(it);
    return ok;
  }
  return false;
}

std::size_t total_count(const RecordPiece* pieces, std::size_t count) {
  std::size_t total = 0;
  for (std::size_t k = 0; k < count; ++k) total += pieces[k].count;
  return total;
}

// Opens `path` for writing, empty. On POSIX systems the file is never reached through a symbolic link:
// listing files live in a shared temporary folder, where a planted link could redirect the text.
std::FILE* open_empty(const char* path) {
#if defined(_WIN32)
  return std::fopen(path, "w");
#else
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "w");
  if (f == nullptr) ::close(fd);
  return f;
#endif
}

}  // namespace

bool connect(int unit, const char* path) {
  if (find(unit) != nullptr) close_unit(unit);
  if (path == nullptr) return false;
  // Starting the file empty makes every read-back after an engine call forward only the new text.
  std::FILE* f = open_empty(path);
  if (f == nullptr) return false;
  table().push_back({unit, Kind::kText, f});
  return true;
}

bool disconnect(int unit) {
  return close_unit(unit);
}

bool is_connected(int unit) {
  return find(unit) != nullptr;
}

void put(int unit, std::string_view text) {
  Unit* u = find(unit);
  if (u == nullptr || u->kind != Kind::kText || text.empty()) return;
  std::fwrite(text.data(), 1, text.size(), u->file);
}

void end_line(int unit) {
  put(unit, "\n");
}

int open_scratch(int unit) {
  if (find(unit) != nullptr) return 1;  // never reopen a connected unit behind its owner's back
  std::FILE* f = std::tmpfile();        // unnamed, removed by the system when closed
  if (f == nullptr) return 2;
  table().push_back({unit, Kind::kScratch, f});
  return 0;
}

int rewind(int unit) {
  Unit* u = find(unit);
  if (u == nullptr) return 1;
  return std::fseek(u->file, 0, SEEK_SET) == 0 ? 0 : 2;
}

int close_scratch(int unit) {
  Unit* u = find(unit);
  if (u == nullptr || u->kind != Kind::kScratch) return 1;
  return close_unit(unit) ? 0 : 2;
}

// A record is its length in doubles (64-bit) followed by the doubles in machine representation.
int write_record(int unit, const RecordPiece* pieces, std::size_t count) {
  Unit* u = find(unit);
  if (u == nullptr || u->kind != Kind::kScratch) return 1;
  const std::uint64_t total = total_count(pieces, count);
  if (std::fwrite(&total, sizeof total, 1, u->file) != 1) return 2;
  for (std::size_t k = 0; k < count; ++k) {
    const RecordPiece& p = pieces[k];
    if (p.count > 0 && std::fwrite(p.data, sizeof(double), p.count, u->file) != p.count) return 2;
  }
  return std::fflush(u->file) == 0 ? 0 : 2;
}

int read_record(int unit, const RecordPiece* pieces, std::size_t count) {
  Unit* u = find(unit);
  if (u == nullptr || u->kind != Kind::kScratch) return 1;
  std::uint64_t total = 0;
  if (std::fread(&total, sizeof total, 1, u->file) != 1) return 2;
  if (total != total_count(pieces, count)) return 3;
  for (std::size_t k = 0; k < count; ++k) {
    const RecordPiece& p = pieces[k];
    if (p.count > 0 && std::fread(p.data, sizeof(double), p.count, u->file) != p.count) return 2;
  }
  return 0;
}

}  // namespace vek::io
