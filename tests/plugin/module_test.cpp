// The built module as a host sees it: opened by its path, driven only through GetFactoryNLPSystem,
// exporting nothing else, and finding the libraries it needs without LD_LIBRARY_PATH.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "plugin/fake_problem.h"
#include "plugin/interfaces.h"
#include "support/dynamic_module.h"

#if !defined(_WIN32)
extern char** environ;
#endif

namespace {

constexpr const char* kChildVariable = "TALVIR_MODULE_CHILD";

// Drives the module through its one entry: parameters, a solver for a problem, releases.
void drive_through_entry(GetFactoryNLPSystemFn entry) {
  vek::NLPSystemFactory* factory = entry();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(entry(), factory);
  EXPECT_EQ(factory->Release(), 1);

  vek::ParameterList* params = nullptr;
  ASSERT_EQ(factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&params)), 0);
  EXPECT_EQ(params->GetParameterCount(), 7);
  vek::ParameterValue value{};
  value.integer = 250;
  EXPECT_EQ(params->SetParameter("maxiterations", vek::kIntegerParameter, value), 0);
  std::int32_t type = -1;
  value.integer = 0;
  EXPECT_EQ(params->GetParameter("MaxIterations", &type, &value), 0);
  EXPECT_EQ(value.integer, 250);

  talvir_test::CountingProblem problem(true);
  talvir_test::RecordingSink sink;
  vek::NLPSolver* solver = nullptr;
  ASSERT_EQ(factory->CreateSolver(&problem, &sink, &solver), 0);
  EXPECT_EQ(sink.texts.size(), 3u);
  EXPECT_EQ(problem.count, 2);
  vek::SolverResults* results = nullptr;
  ASSERT_EQ(solver->QueryInterface(vek::kIidSolverResults, reinterpret_cast<void**>(&results)), 0);
  double ratio = -1.0;
  EXPECT_EQ(results->GetRealResult("CVRG", &ratio), 0);
  EXPECT_EQ(ratio, 0.0);
  EXPECT_EQ(results->Release(), 1);
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(problem.count, 1);

  EXPECT_EQ(params->Release(), 1);
  EXPECT_EQ(factory->Release(), 0);
  // A new factory has the default again.
  factory = entry();
  ASSERT_EQ(factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&params)), 0);
  EXPECT_EQ(params->GetParameter("MaxIterations", &type, &value), 0);
  EXPECT_EQ(value.integer, 100);
  params->Release();
  EXPECT_EQ(factory->Release(), 0);
}

TEST(Module, OpensByPathAndIsDrivenThroughItsEntryAlone) {
  std::string error;
  void* module = talvir_test::open_module(TALVIR_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  auto entry =
      reinterpret_cast<GetFactoryNLPSystemFn>(talvir_test::find_symbol(module, "GetFactoryNLPSystem"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(talvir_test::find_symbol(module, "_ZN3vek6plugin14obtain_factoryEv"), nullptr)
      << "internal names stay hidden";
  drive_through_entry(entry);
  EXPECT_TRUE(talvir_test::close_module(module));
}

// On Windows the export and import tables are checked by the module_tables test (tests/windows).
#if !defined(_WIN32)
TEST(Module, ExportsExactlyOneSymbol) {
  const std::string command = std::string("nm -D --defined-only '") + TALVIR_MODULE_PATH + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char address[128], kind[8], name[384];
    if (std::sscanf(line, "%127s %7s %383s", address, kind, name) == 3) names.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0) << "nm failed on the module";
  EXPECT_EQ(names, (std::set<std::string>{"GetFactoryNLPSystem"}));
}

// In a child without LD_LIBRARY_PATH the module is opened in a fresh link-map namespace, where none of
// this program's libraries are loaded: its own run path must find them.
TEST(Module, FindsItsLibrariesWithoutALibraryPath) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer runtime cannot be loaded into a second link-map namespace";
#endif
  if (std::getenv(kChildVariable) != nullptr) {
    void* module = dlmopen(LM_ID_NEWLM, TALVIR_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<GetFactoryNLPSystemFn>(dlsym(module, "GetFactoryNLPSystem"));
    ASSERT_NE(entry, nullptr);
    drive_through_entry(entry);
    return;
  }
  std::vector<std::string> variables;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) variables.emplace_back(*e);
  }
  variables.emplace_back(std::string(kChildVariable) + "=1");
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string program = "/proc/self/exe";
  std::string filter = "--gtest_filter=Module.FindsItsLibrariesWithoutALibraryPath";
  char* argv[] = {program.data(), filter.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the module failed to load or run in a clean namespace";
}
#endif  // !_WIN32

}  // namespace
