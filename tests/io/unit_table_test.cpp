// Unit tables: line sinks get the text a file gets, scratch storage in memory and in files behaves
// alike and is counted, the text of a file connection is held for the read-back, and two tables in two
// threads never meet.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "io/layout.h"
#include "io/units.h"
#include "support/listing_capture.h"

namespace {

using talvir_test::read_file;
using talvir_test::temp_path;

struct Lines {
  std::vector<std::string> texts;
  bool terminated = true;  // every text arrived with a '\0' after it
  static void take(void* context, const char* text, std::size_t length) {
    auto* self = static_cast<Lines*>(context);
    self->texts.emplace_back(text, length);
    self->terminated = self->terminated && text[length] == '\0';
  }
  std::string joined() const {
    std::string all;
    for (const std::string& t : texts) all += t;
    return all;
  }
};

// A mixture of layouts on unit 7, ending with an unfinished line.
void write_sample(int tag) {
  vek::io::Formatted(7).slash().text(" ITERATION").i(5, tag).x(3).pe(12, 4, 12.5 * tag).slash().end();
  vek::io::ListDirected(7).text("*** SUM = ").num(0.1 * tag).num(tag).end();
  vek::io::empty_line(7);
  vek::io::put(7, " unfinished");
}

TEST(LineSink, ReceivesTheFilesTextOneFinishedLineAtATime) {
  const std::string path = temp_path("units_sink");
  ASSERT_TRUE(vek::io::connect(7, path.c_str()));
  write_sample(3);
  ASSERT_TRUE(vek::io::disconnect(7));
  const std::string file_text = read_file(path);
  std::remove(path.c_str());

  Lines lines;
  ASSERT_TRUE(vek::io::connect_sink(7, &Lines::take, &lines));
  write_sample(3);
  const std::size_t before_disconnect = lines.texts.size();
  ASSERT_TRUE(vek::io::disconnect(7));
  EXPECT_EQ(lines.joined(), file_text);
  EXPECT_TRUE(lines.terminated);
  ASSERT_EQ(lines.texts.size(), talvir_test::split_lines(file_text).size());
  EXPECT_EQ(lines.texts.size(), before_disconnect + 1) << "the unfinished line comes at disconnect";
  for (std::size_t k = 0; k + 1 < lines.texts.size(); ++k) {
    EXPECT_EQ(lines.texts[k].find('\n'), lines.texts[k].size() - 1) << "one whole line per call";
  }
  EXPECT_EQ(lines.texts.back(), " unfinished");
  EXPECT_FALSE(vek::io::connect_sink(7, nullptr, nullptr));
  EXPECT_FALSE(vek::io::is_connected(7));
}

TEST(HeldText, IsTheFilesWholeTextOnlyForTheConnectionJustClosed) {
  const std::string path = temp_path("units_held");
  std::string_view held;
  ASSERT_TRUE(vek::io::connect(7, path.c_str()));
  EXPECT_FALSE(vek::io::last_file_text(7, path.c_str(), held)) << "still connected";
  write_sample(1);
  ASSERT_TRUE(vek::io::disconnect(7));
  ASSERT_TRUE(vek::io::last_file_text(7, path.c_str(), held));
  EXPECT_EQ(std::string(held), read_file(path));
  EXPECT_FALSE(vek::io::last_file_text(7, (path + "x").c_str(), held)) << "another file";
  EXPECT_FALSE(vek::io::last_file_text(7, nullptr, held));

  // Beyond the limit the text goes to the file as it comes and is no longer held.
  ASSERT_TRUE(vek::io::connect(7, path.c_str()));
  const std::string line(999, 'x');
  std::string expected;
  while (expected.size() <= vek::io::kHeldTextLimit) {
    vek::io::put(7, line);
    vek::io::end_line(7);
    expected += line + "\n";
  }
  ASSERT_TRUE(vek::io::disconnect(7));
  EXPECT_FALSE(vek::io::last_file_text(7, path.c_str(), held));
  EXPECT_EQ(read_file(path), expected);
  std::remove(path.c_str());

  EXPECT_FALSE(vek::io::connect(7, "/nonexistent-dir/x/y"));
  EXPECT_FALSE(vek::io::last_file_text(7, "/nonexistent-dir/x/y", held));
}

TEST(TextUnit, AFileRemovedThroughTheLayerIsCreatedAgainByTheNextConnection) {
  const std::string path = temp_path("units_removed");
  for (const bool write_before : {false, true}) {
    ASSERT_TRUE(vek::io::connect(7, path.c_str()));
    if (write_before) vek::io::put(7, "old text");
    ASSERT_TRUE(vek::io::disconnect(7));
    EXPECT_EQ(vek::io::remove_file(path.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(vek::io::connect(7, path.c_str()));
    EXPECT_TRUE(std::filesystem::exists(path)) << "the connection creates the file again";
    vek::io::put(7, "new");
    ASSERT_TRUE(vek::io::disconnect(7));
    EXPECT_EQ(read_file(path), "new");
    EXPECT_EQ(vek::io::remove_file(path.c_str()), 0);
  }
  // Removed while connected: the text still arrives through last_file_text, and the next connection
  // creates the file again.
  ASSERT_TRUE(vek::io::connect(7, path.c_str()));
  EXPECT_EQ(vek::io::remove_file(path.c_str()), 0);
  vek::io::put(7, "late");
  ASSERT_TRUE(vek::io::disconnect(7));
  std::string_view held;
  EXPECT_TRUE(vek::io::last_file_text(7, path.c_str(), held));
  EXPECT_EQ(held, "late");
  ASSERT_TRUE(vek::io::connect(7, path.c_str()));
  ASSERT_TRUE(vek::io::disconnect(7));
  EXPECT_EQ(vek::io::remove_file(path.c_str()), 0) << "the file was there again";
}

class ScratchStorageTest : public ::testing::TestWithParam<vek::io::ScratchStorage> {};

TEST_P(ScratchStorageTest, RecordsRoundTripAndOnlyFileStorageCreatesFiles) {
  vek::io::UnitTable table;
  table.set_scratch_storage(GetParam());
  vek::io::UnitScope scope(table);
  for (int round = 1; round <= 3; ++round) {  // a QP set-up after another
    std::vector<double> a(5 * round, 0.5 * round), c(round, -1.0);
    const std::vector<double> a0 = a, c0 = c;
    vek::io::RecordPiece record[] = {{a.data(), a.size()}, {c.data(), c.size()}};
    ASSERT_EQ(vek::io::open_scratch(40), 0);
    ASSERT_EQ(vek::io::rewind(40), 0);
    ASSERT_EQ(vek::io::write_record(40, record, 2), 0);
    std::fill(a.begin(), a.end(), 0.0);
    std::fill(c.begin(), c.end(), 0.0);
    ASSERT_EQ(vek::io::rewind(40), 0);
    ASSERT_EQ(vek::io::read_record(40, record, 2), 0);
    EXPECT_EQ(a, a0);
    EXPECT_EQ(c, c0);
    EXPECT_NE(vek::io::read_record(40, record, 2), 0) << "one record only";
    ASSERT_EQ(vek::io::close_scratch(40), 0);
  }
  EXPECT_EQ(table.scratch_units_opened(), 3);
  EXPECT_EQ(table.scratch_files_created(), GetParam() == vek::io::ScratchStorage::kFile ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(BothStorages, ScratchStorageTest,
                         ::testing::Values(vek::io::ScratchStorage::kMemory, vek::io::ScratchStorage::kFile));

TEST(UnitScope, TwoTablesInTwoThreadsNeverMeet) {
  constexpr int kLines = 2000;
  auto work = [](vek::io::UnitTable& table, Lines& lines, int tag, bool& records_ok) {
    vek::io::UnitScope scope(table);
    vek::io::connect_sink(7, &Lines::take, &lines);
    records_ok = true;
    for (int k = 0; k < kLines; ++k) {
      vek::io::ListDirected(7).num(tag).num(k);
      double value = tag * 1.0e6 + k;
      vek::io::RecordPiece piece{&value, 1};
      records_ok = records_ok && vek::io::open_scratch(40) == 0 && vek::io::write_record(40, &piece, 1) == 0;
      value = 0.0;
      records_ok = records_ok && vek::io::rewind(40) == 0 && vek::io::read_record(40, &piece, 1) == 0 &&
                   value == tag * 1.0e6 + k && vek::io::close_scratch(40) == 0;
    }
    vek::io::disconnect(7);
  };
  vek::io::UnitTable first_table, second_table;
  Lines first, second;
  bool first_ok = false, second_ok = false;
  std::thread one(work, std::ref(first_table), std::ref(first), 1, std::ref(first_ok));
  std::thread two(work, std::ref(second_table), std::ref(second), 2, std::ref(second_ok));
  one.join();
  two.join();
  EXPECT_TRUE(first_ok);
  EXPECT_TRUE(second_ok);
  ASSERT_EQ(first.texts.size(), static_cast<std::size_t>(kLines));
  ASSERT_EQ(second.texts.size(), static_cast<std::size_t>(kLines));
  for (int k = 0; k < kLines; ++k) {
    char line[64];
    vek::io::format_free(line, 1LL);
    EXPECT_EQ(first.texts[k].substr(0, 13), std::string(" ") + line);
    vek::io::format_free(line, 2LL);
    EXPECT_EQ(second.texts[k].substr(0, 13), std::string(" ") + line);
  }
  EXPECT_EQ(&vek::io::current_units(), &vek::io::process_units()) << "the scopes ended with their threads";
  EXPECT_EQ(first_table.scratch_units_opened(), kLines);
  EXPECT_FALSE(vek::io::is_connected(7));
}

TEST(UnitScope, NestedScopesRestoreTheOuterTable) {
  vek::io::UnitTable outer, inner;
  {
    vek::io::UnitScope a(outer);
    EXPECT_EQ(&vek::io::current_units(), &outer);
    {
      vek::io::UnitScope b(inner);
      EXPECT_EQ(&vek::io::current_units(), &inner);
      ASSERT_EQ(vek::io::open_scratch(40), 0);
    }
    EXPECT_EQ(&vek::io::current_units(), &outer);
    EXPECT_FALSE(vek::io::is_connected(40)) << "the inner table's unit is not the outer table's";
  }
  EXPECT_EQ(&vek::io::current_units(), &vek::io::process_units());
  EXPECT_EQ(inner.scratch_units_opened(), 1);
}

}  // namespace
