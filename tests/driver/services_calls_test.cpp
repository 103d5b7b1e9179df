// The host-services calls of each Solve call and the listing the host receives, watched through the
// services themselves: this program defines the four file services, records every call and passes it
// on to the services library (found with dlsym(RTLD_NEXT)). The listing is read back from the unit
// layer's copy when it has one; with CloseFortranLogicalUnit answering false the driver reads the file
// instead, and both ways must give the host the same chunks after the same calls.
#if !defined(_WIN32)
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/problem_host.h"
#include "io/units.h"
#include "services/VEKServices.h"

namespace {

std::vector<std::string> g_calls;  // the services called, in order
bool g_close_answers_false = false;

template <typename Fn>
Fn next_definition(const char* symbol) {
  void* address = dlsym(RTLD_NEXT, symbol);
  if (address == nullptr) std::abort();  // the services library must be linked
  return reinterpret_cast<Fn>(address);
}

}  // namespace

std::int32_t VEKServices::CreateTemporaryFileName(char*& name, const char* prefix) {
  static const auto next = next_definition<std::int32_t (*)(char*&, const char*)>(
      "_ZN11VEKServices23CreateTemporaryFileNameERPcPKc");
  g_calls.push_back(std::string("Create ") + prefix);
  return next(name, prefix);
}

std::int32_t VEKServices::DeleteTemporaryFileName(char*& name) {
  static const auto next =
      next_definition<std::int32_t (*)(char*&)>("_ZN11VEKServices23DeleteTemporaryFileNameERPc");
  g_calls.push_back("Delete");
  return next(name);
}

bool VEKServices::OpenFortranLogicalUnit(std::int32_t unit, const char* file_name) {
  static const auto next =
      next_definition<bool (*)(std::int32_t, const char*)>("_ZN11VEKServices22OpenFortranLogicalUnitEiPKc");
  g_calls.push_back("Open " + std::to_string(unit));
  return next(unit, file_name);
}

bool VEKServices::CloseFortranLogicalUnit(std::int32_t unit) {
  static const auto next =
      next_definition<bool (*)(std::int32_t)>("_ZN11VEKServices23CloseFortranLogicalUnitEi");
  g_calls.push_back("Close " + std::to_string(unit));
  const bool closed = next(unit);
  return closed && !g_close_answers_false;
}

namespace {

using talvir::problems::make_problem;
using talvir_test::ProblemHost;
using talvir_test::RecordingSink;
using talvir_test::SolverFixture;

struct Call {
  std::vector<std::string> services, texts;
  bool operator==(const Call& o) const { return services == o.services && texts == o.texts; }
};

// A whole solve with the listing on at every iteration; per Solve call, the services called and the
// texts the sink received.
std::vector<Call> watched_solve(const char* problem) {
  ProblemHost host(make_problem(problem));
  RecordingSink sink;
  std::vector<Call> calls;
  {
    SolverFixture fixture(host, sink);
    fixture.set_text("PrintLevel", "Normal");
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0, mode = 0, result = vek::kCallAgain;
    for (int k = 0; k < 2000 && result == vek::kCallAgain; ++k, mode = 1) {
      g_calls.clear();
      sink.texts.clear();
      result = fixture.solver->Solve(mode, &block, &counter, &request);
      calls.push_back({g_calls, sink.texts});
      if (result == vek::kCallAgain) host.evaluate(*block, request);
    }
    EXPECT_EQ(result, 0);
    g_calls.clear();
  }
  EXPECT_EQ(g_calls, std::vector<std::string>{"Delete"}) << "the name is given back with the component";
  return calls;
}

TEST(ServicesCalls, EveryCallOpensUnit7FirstAndEveryEngineCallClosesIt) {
  const std::vector<Call> calls = watched_solve("hs071");
  ASSERT_GT(calls.size(), 3u);
  EXPECT_EQ(calls.front().services, (std::vector<std::string>{"Create TALVIR_txt.", "Open 7"}));
  for (std::size_t k = 1; k + 1 < calls.size(); ++k) {
    EXPECT_EQ(calls[k].services, (std::vector<std::string>{"Open 7", "Close 7"})) << "call " << k;
  }
  // The last call forwards the listing, then closes the unit once more as it removes the file.
  EXPECT_EQ(calls.back().services, (std::vector<std::string>{"Open 7", "Close 7", "Close 7"}));
}

TEST(ServicesCalls, TheListingReachesTheHostInTheSameChunksWhetherHeldOrReadFromTheFile) {
  for (const char* problem : {"hs071", "hs100", "qp"}) {
    SCOPED_TRACE(problem);
    const std::vector<Call> held = watched_solve(problem);
    g_close_answers_false = true;  // the driver must read the file back
    const std::vector<Call> read_back = watched_solve(problem);
    g_close_answers_false = false;
    ASSERT_EQ(held.size(), read_back.size());
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < held.size(); ++k) {
      EXPECT_EQ(held[k], read_back[k]) << "call " << k;
      for (const std::string& t : held[k].texts) bytes += t.size();
    }
    EXPECT_GT(bytes, 1024u) << "the listing spans several chunks";
  }
}

TEST(ServicesCalls, AWholeSolveKeepsItsScratchRecordsInMemory) {
  vek::io::UnitTable& units = vek::io::process_units();
  const long long opened = units.scratch_units_opened(), files = units.scratch_files_created();
  const std::vector<Call> calls = watched_solve("hs100");
  EXPECT_GT(units.scratch_units_opened() - opened, 3) << "one scratch unit per QP set-up";
  EXPECT_EQ(units.scratch_files_created(), files) << "and no file for any of them";
}

}  // namespace
#endif
