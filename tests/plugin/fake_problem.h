// A minimal host problem for the plug-in boundary tests: counts its references, records the texts
// written to its sink, and answers VEKUtilityComponent only when asked to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/host_interfaces.h"

namespace talvir_test {

class RecordingSink : public vek::MessageSink {
 public:
  void Write(const char* text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

class CountingProblem : public vek::NLPProblem, public vek::VEKUtilityComponent {
 public:
  explicit CountingProblem(bool answers_utility) : answers_utility_(answers_utility) {}
  ~CountingProblem() override = default;

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override {
    if (iid == vek::kIidVEKUtilityComponent && answers_utility_) {
      *out = static_cast<vek::VEKUtilityComponent*>(this);
      ++utility_references;
      AddRef();
      return 0;
    }
    return vek::kENoInterface;
  }
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return ++count; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return --count; }  // the test owns the object

  const char* GetVersion() override { return "0"; }
  const char* GetDescription() override { return "counting problem"; }
  const char* GetName() override { return "hs_counting"; }

  std::int32_t GetNumVariables() override { return 1; }
  std::int32_t GetNumEqualities() override { return 0; }
  std::int32_t GetNumInequalities() override { return 0; }
  std::int32_t GetVariableBounds(std::int32_t, double* lower, double* upper) override {
    lower[0] = -1.0e20;
    upper[0] = 1.0e20;
    return 0;
  }
  std::int32_t SetVariableValues(std::int32_t, const double*) override { return 0; }
  std::int32_t GetVariableValues(std::int32_t, double* x) override {
    x[0] = 1.0;
    return 0;
  }
  std::int32_t GetVariableAttribute(std::int32_t, const char*, double*) override { return -1; }
  std::int32_t GetConstraintAttribute(std::int32_t, const char*, std::int32_t*) override { return -1; }
  std::int32_t GetProblemAttribute(const char*, double*) override { return -1; }
  std::int32_t GetStructureCounts(std::int32_t* first, std::int32_t* nnz) override {
    *first = 0;
    *nnz = 0;
    return 0;
  }
  std::int32_t GetJacobianStructure(const std::int32_t** rows, const std::int32_t** cols,
                                    std::int32_t* count_out) override {
    *rows = nullptr;
    *cols = nullptr;
    *count_out = 0;
    return 0;
  }
  std::int32_t OnSolveCall() override { return 0; }
  std::int32_t SetMultipliers(const double*, const double*) override { return 0; }

  std::int32_t count = 1;  // the test's own reference
  std::int32_t utility_references = 0;

 private:
  bool answers_utility_;
};

}  // namespace talvir_test
