// Fuzz target: ParameterList alone, through the factory's and solvers' views, against a model of the
// documented rules: one table shared by the library, built with the defaults by the first object that
// needs it and freed with the factory; names looked up ignoring ASCII case; numbers stored only within
// their inclusive bounds (NaN never); the record's own type deciding how a value is read; every text
// handed out a fresh copy. Names, type codes and values come from the fuzzer's bytes.
#include <strings.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "driver/host_interfaces.h"
#include "fuzz/fuzz_input.h"

namespace {

using talvir_fuzz::FuzzInput;

// The expected table: present or not, and the current value of each record.
struct Model {
  bool exists = false;
  std::vector<double> numbers;
  std::string text;

  void build() {
    if (exists) return;
    exists = true;
    numbers.clear();
    for (const vek::core::ParameterDefinition& d : vek::core::kParameterDefinitions)
      numbers.push_back(d.default_number);
    text = vek::core::kParameterDefinitions[0].default_text;
  }
  int find(const char* name) const {
    if (!exists || name == nullptr) return -1;
    for (int k = 0; k < vek::core::kParameterCount; ++k)
      if (strcasecmp(vek::core::kParameterDefinitions[k].name, name) == 0) return k;
    return -1;
  }
};

class Problem final : public vek::NLPProblem {
 public:
  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid&, void**) override {
    return vek::kENoInterface;
  }
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return ++count; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return --count; }
  std::int32_t GetNumVariables() override { return 1; }
  std::int32_t GetNumEqualities() override { return 0; }
  std::int32_t GetNumInequalities() override { return 0; }
  std::int32_t GetVariableBounds(std::int32_t, double*, double*) override { return 0; }
  std::int32_t SetVariableValues(std::int32_t, const double*) override { return 0; }
  std::int32_t GetVariableValues(std::int32_t, double*) override { return 0; }
  std::int32_t GetVariableAttribute(std::int32_t, const char*, double*) override { return -1; }
  std::int32_t GetConstraintAttribute(std::int32_t, const char*, std::int32_t*) override { return -1; }
  std::int32_t GetProblemAttribute(const char*, double*) override { return -1; }
  std::int32_t GetStructureCounts(std::int32_t*, std::int32_t* nnz) override { return *nnz = 0; }
  std::int32_t GetJacobianStructure(const std::int32_t**, const std::int32_t**, std::int32_t*) override {
    return 0;
  }
  std::int32_t OnSolveCall() override { return 0; }
  std::int32_t SetMultipliers(const double*, const double*) override { return 0; }
  std::int32_t count = 1;
};

std::string read_name(FuzzInput& in) {
  if (in.choice(6) == 0) return in.text(20);
  std::string name = vek::core::kParameterDefinitions[in.choice(vek::core::kParameterCount)].name;
  for (char& c : name) {
    const int flip = in.choice(8);
    if (flip == 0) c = static_cast<char>(c ^ 0x20);  // the other letter case (or a neighbour sign)
    if (flip == 1 && in.choice(8) == 0) c = ' ';
  }
  return name;
}

void check_info(const Model& model, vek::ParameterList* list, const char* name) {
  vek::ParameterInfo info{};
  const std::int32_t rc = list->GetParameterInfo(name, &info);
  const int k = model.find(name);
  FUZZ_CHECK(rc == (k < 0 ? vek::kNoSuchParameter : vek::kOk), "GetParameterInfo answered the wrong code");
  if (k < 0) return;
  const vek::core::ParameterDefinition& d = vek::core::kParameterDefinitions[k];
  FUZZ_CHECK(std::strcmp(info.name, d.name) == 0 && std::strcmp(info.description, d.description) == 0,
             "GetParameterInfo described another record");
  FUZZ_CHECK(info.type == d.type, "GetParameterInfo gave the wrong type");
  if (d.type == vek::kTextParameter) {
    FUZZ_CHECK(model.text == info.value.text.value && std::strcmp(info.value.text.options, d.options) == 0,
               "GetParameterInfo gave the wrong text");
    std::free(info.value.text.value);
    std::free(info.value.text.options);
  } else if (d.type == vek::kIntegerParameter) {
    FUZZ_CHECK(info.value.integer.value == model.numbers[k] && info.value.integer.minimum == d.minimum &&
                   info.value.integer.maximum == d.maximum,
               "GetParameterInfo gave the wrong integer record");
  } else {
    FUZZ_CHECK(info.value.real.value == model.numbers[k] && info.value.real.minimum == d.minimum &&
                   info.value.real.maximum == d.maximum,
               "GetParameterInfo gave the wrong real record");
  }
  std::free(info.name);
  std::free(info.description);
}

void check_get(const Model& model, vek::ParameterList* list, const char* name) {
  std::int32_t type = -99;
  vek::ParameterValue value{};
  const std::int32_t rc = list->GetParameter(name, &type, &value);
  const int k = model.find(name);
  FUZZ_CHECK(rc == (k < 0 ? vek::kNoSuchParameter : vek::kOk), "GetParameter answered the wrong code");
  if (k < 0) {
    FUZZ_CHECK(type == -99, "a failed GetParameter wrote the type");
    return;
  }
  const vek::core::ParameterDefinition& d = vek::core::kParameterDefinitions[k];
  FUZZ_CHECK(type == d.type, "GetParameter gave the wrong type");
  if (d.type == vek::kTextParameter) {
    FUZZ_CHECK(model.text == value.text, "GetParameter gave the wrong text");
    std::free(value.text);
  } else {
    const double got = d.type == vek::kIntegerParameter ? value.integer : value.real;
    FUZZ_CHECK(got == model.numbers[k], "GetParameter gave the wrong value");
  }
}

void set_and_check(FuzzInput& in, Model& model, vek::ParameterList* list, const char* name) {
  const int k = model.find(name);
  std::string text = in.text(30);
  vek::ParameterValue value{};
  const bool text_record = k >= 0 && vek::core::kParameterDefinitions[k].type == vek::kTextParameter;
  if (text_record) {
    value.text = in.choice(8) == 0 ? nullptr : text.data();
  } else {
    const double raw = in.raw_double();
    std::memcpy(&value, &raw, sizeof value);
    if (in.choice(2) == 0)
      value.integer = in.integer(-3, 100010);
    else if (in.choice(2) == 0)
      value.real = in.real_or_special(-1.0, 2.0);
  }
  const std::int32_t rc = list->SetParameter(name, in.integer(-2, 4), value);
  std::int32_t expected = vek::kNoSuchParameter;
  if (k >= 0) {
    const vek::core::ParameterDefinition& d = vek::core::kParameterDefinitions[k];
    const double v = d.type == vek::kIntegerParameter ? value.integer : value.real;
    const bool fits =
        d.type == vek::kTextParameter ? value.text != nullptr : (v >= d.minimum && v <= d.maximum);
    expected = fits ? vek::kOk : vek::kValueOutOfRange;
    if (fits && d.type == vek::kTextParameter) model.text = text;
    if (fits && d.type != vek::kTextParameter) model.numbers[k] = v;
  }
  FUZZ_CHECK(rc == expected, "SetParameter answered the wrong code");
}

void check_names(const Model& model, vek::ParameterList* list) {
  const std::int32_t count = list->GetParameterCount();
  FUZZ_CHECK(count == (model.exists ? vek::core::kParameterCount : 0), "GetParameterCount is wrong");
  std::vector<char*> names(vek::core::kParameterCount + 1, nullptr);
  FUZZ_CHECK(list->GetParameterNames(names.data()) == vek::kOk, "GetParameterNames failed");
  for (int k = 0; k < vek::core::kParameterCount + 1; ++k) {
    FUZZ_CHECK((names[k] != nullptr) == (k < count), "GetParameterNames wrote the wrong number of names");
    if (names[k] != nullptr)
      FUZZ_CHECK(std::strcmp(names[k], vek::core::kParameterDefinitions[k].name) == 0, "wrong name");
    std::free(names[k]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  Model model;
  Problem problem;
  vek::NLPSystemFactory* factory = GetFactoryNLPSystem();
  model.build();
  vek::NLPSolver* solver = nullptr;
  factory->CreateSolver(&problem, nullptr, &solver);
  vek::ParameterList* views[2] = {nullptr, nullptr};
  factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&views[0]));
  solver->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&views[1]));
  bool factory_alive = true;
  for (int op = 0; op < 64 && !in.used_up(); ++op) {
    vek::ParameterList* list = views[factory_alive ? in.choice(2) : 1];
    const std::string name = read_name(in);
    const char* name_ptr = in.choice(32) == 0 ? nullptr : name.c_str();
    switch (in.choice(5)) {
      case 0:
        check_info(model, list, name_ptr);
        break;
      case 1:
        check_get(model, list, name_ptr);
        break;
      case 2:
        check_names(model, list);
        break;
      case 3:
        if (factory_alive) {  // the factory's last references go: the table with it
          views[0]->Release();
          factory->Release();
          factory_alive = false;
          model.exists = false;
        }
        break;
      default:
        set_and_check(in, model, list, name_ptr);
        break;
    }
  }
  if (factory_alive) views[0]->Release();
  views[1]->Release();
  solver->Release();
  if (factory_alive) factory->Release();
  // Whatever happened, a new factory starts from the defaults.
  factory = GetFactoryNLPSystem();
  model.exists = false;
  model.build();
  vek::ParameterList* fresh = nullptr;
  factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&fresh));
  for (const vek::core::ParameterDefinition& d : vek::core::kParameterDefinitions)
    check_info(model, fresh, d.name);
  fresh->Release();
  factory->Release();
  return 0;
}
