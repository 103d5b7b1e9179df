// The stand-in host services: strings, version text, temporary file names, and unit connection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "io/units.h"
#include "services/VEKServices.h"
#include "support/listing_capture.h"

namespace {

namespace fs = std::filesystem;

// The variable that names the system temporary folder: TMPDIR, on Windows TMP.
#if defined(_WIN32)
constexpr const char* kTemporaryFolderVariable = "TMP";
void set_variable(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
}
void unset_variable(const char* name) {
  _putenv_s(name, "");
}
#else
constexpr const char* kTemporaryFolderVariable = "TMPDIR";
void set_variable(const char* name, const std::string& value) {
  setenv(name, value.c_str(), 1);
}
void unset_variable(const char* name) {
  unsetenv(name);
}
#endif

TEST(Services, AllocateStringGivesMallocMemoryOfTheAskedLength) {
  char* text = VEKServices::AllocateString(6);
  ASSERT_NE(text, nullptr);
  std::memcpy(text, "hello", 6);
  EXPECT_STREQ(text, "hello");
  std::free(text);
  EXPECT_EQ(VEKServices::AllocateString(0), nullptr);
  EXPECT_EQ(VEKServices::AllocateString(-3), nullptr);
}

TEST(Services, VersionTextFitsTwelveBytesWithItsTerminator) {
  char buffer[40];
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(VEKServices::GetDLLVersionNumber("vek_talvir.dll", buffer), buffer);
  const std::size_t length = strnlen(buffer, sizeof buffer);
  EXPECT_GT(length, 0u);
  EXPECT_LT(length, 12u);
  for (std::size_t k = 12; k < sizeof buffer; ++k) ASSERT_EQ(buffer[k], 'Z') << "written past 12 bytes";
}

TEST(Services, TemporaryNamesAreUniqueFilesWithThePrefixInTheTemporaryFolder) {
  const fs::path folder = fs::path(talvir_test::temp_path("services_tmp"));
  fs::create_directories(folder);
  const char* saved = std::getenv(kTemporaryFolderVariable);
  const std::string saved_value = saved != nullptr ? saved : "";
  set_variable(kTemporaryFolderVariable, folder.string());

  std::set<std::string> names;
  std::vector<char*> held;
  for (int k = 0; k < 50; ++k) {
    char* name = nullptr;
    ASSERT_EQ(VEKServices::CreateTemporaryFileName(name, "TALVIR_txt."), 0);
    ASSERT_NE(name, nullptr);
    const fs::path path(name);
    EXPECT_EQ(path.parent_path(), folder);
    EXPECT_EQ(path.filename().string().rfind("TALVIR_txt.", 0), 0u) << name;
    EXPECT_TRUE(fs::exists(path)) << "the name is reserved by creating the file";
    names.insert(name);
    held.push_back(name);
  }
  EXPECT_EQ(names.size(), 50u);
  for (char*& name : held) {
    const std::string path = name;
    EXPECT_EQ(VEKServices::DeleteTemporaryFileName(name), 0);
    EXPECT_EQ(name, nullptr);
    EXPECT_FALSE(fs::exists(path));
  }
  char* none = nullptr;
  EXPECT_EQ(VEKServices::DeleteTemporaryFileName(none), 0);

  if (saved != nullptr) {
    set_variable(kTemporaryFolderVariable, saved_value);
  } else {
    unset_variable(kTemporaryFolderVariable);
  }
  fs::remove_all(folder);
}

TEST(Services, UnitSevenRoundTripForwardsOnlyTheNewTextAfterEachConnection) {
  char* name = nullptr;
  ASSERT_EQ(VEKServices::CreateTemporaryFileName(name, "TALVIR_txt."), 0);
  ASSERT_TRUE(VEKServices::OpenFortranLogicalUnit(7, name));
  EXPECT_TRUE(vek::io::is_connected(7));
  vek::io::put(7, " first call");
  vek::io::end_line(7);
  ASSERT_TRUE(VEKServices::CloseFortranLogicalUnit(7));
  EXPECT_FALSE(vek::io::is_connected(7));
  EXPECT_EQ(talvir_test::read_file(name), " first call\n");

  ASSERT_TRUE(VEKServices::OpenFortranLogicalUnit(7, name));
  vek::io::put(7, " second");
  ASSERT_TRUE(VEKServices::CloseFortranLogicalUnit(7));
  EXPECT_EQ(talvir_test::read_file(name), " second");  // an unfinished line is kept as it is
  EXPECT_FALSE(VEKServices::CloseFortranLogicalUnit(7)) << "closing an unconnected unit";
  EXPECT_FALSE(VEKServices::OpenFortranLogicalUnit(7, nullptr));
  VEKServices::DeleteTemporaryFileName(name);
}

}  // namespace
