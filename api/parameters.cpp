// The seven solver parameters through the native API (contracts in include/talvir/talvir.h): each handle
// keeps its own records, built from the core's definitions table and checked by the same record
// operations as the plug-in's table, so bounds, defaults and refusals are the plug-in's.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "api/solver.h"
#include "core/parameter_records.h"
#include "io/decimal_text.h"

using talvir_api::fail;
using talvir_api::succeed;

static_assert(TALVIR_PARAMETER_INTEGER == vek::core::kIntegerParameter, "parameter type codes agree");
static_assert(TALVIR_PARAMETER_REAL == vek::core::kRealParameter, "parameter type codes agree");
static_assert(TALVIR_PARAMETER_TEXT == vek::core::kTextParameter, "parameter type codes agree");

namespace {

const char* kTypeNames[] = {"an integer", "a real", "a text"};

// The handle's record of `name` into r: TALVIR_OK, or the refusal of a null or unknown name.
int find(const talvir_solver* s, const char* function, const char* name, vek::core::ParameterRecord*& r) {
  if (name == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "%s: null parameter name", function);
  auto* records = const_cast<vek::core::ParameterRecord*>(s->parameters);
  r = vek::core::find_parameter_in(records, talvir_api::kNativeParameterCount, name);
  if (r == nullptr)
    return fail(s, TALVIR_ERROR_UNKNOWN_PARAMETER, "%s: no parameter named \"%s\"", function, name);
  return TALVIR_OK;
}

int wrong_type(const talvir_solver* s, const char* function, const vek::core::ParameterRecord& r) {
  return fail(s, TALVIR_ERROR_PARAMETER_TYPE, "%s: \"%s\" is %s parameter", function, r.name,
              kTypeNames[r.type]);
}

// Stores through the shared record rules; a refused value leaves the record unchanged. A stored value
// reaches the engine controls at the next step.
int store(talvir_solver* s, const char* function, vek::core::ParameterRecord& r,
          vek::core::ParameterValue v) {
  if (const int refused = talvir_api::refuse_in_listing(s, function)) return refused;
  const vek::core::ParameterDefinition& def =
      talvir_api::native_definition(static_cast<int>(&r - s->parameters));
  if (talvir_api::closed_options(def) && !talvir_api::text_is_option(def, v.text)) {
    return fail(s, TALVIR_ERROR_PARAMETER_RANGE, "%s: \"%s\" is not one of the values %s of \"%s\"", function,
                v.text, def.options, r.name);
  }
  if (vek::core::store_parameter_value(r, v)) {
    s->controls_stale = true;
    return succeed(s);
  }
  if (r.type == vek::core::kIntegerParameter) {
    return fail(s, TALVIR_ERROR_PARAMETER_RANGE, "%s: %d is outside the range %d .. %d of \"%s\"", function,
                v.integer, r.value.integer.minimum, r.value.integer.maximum, r.name);
  }
  if (r.type == vek::core::kRealParameter) {
    return fail(s, TALVIR_ERROR_PARAMETER_RANGE, "%s: %g is outside the range %g .. %g of \"%s\"", function,
                v.real, r.value.real.minimum, r.value.real.maximum, r.name);
  }
  return fail(s, TALVIR_ERROR_NO_MEMORY, "%s: no memory for the text of \"%s\"", function, r.name);
}

int set_integer(talvir_solver* s, const char* function, vek::core::ParameterRecord& r, int value) {
  vek::core::ParameterValue v{};
  if (r.type == vek::core::kIntegerParameter) {
    v.integer = value;
  } else if (r.type == vek::core::kRealParameter) {
    v.real = value;
  } else {
    return wrong_type(s, function, r);
  }
  return store(s, function, r, v);
}

int set_real(talvir_solver* s, const char* function, vek::core::ParameterRecord& r, double value) {
  if (r.type == vek::core::kRealParameter) {
    vek::core::ParameterValue v{};
    v.real = value;
    return store(s, function, r, v);
  }
  if (r.type != vek::core::kIntegerParameter) return wrong_type(s, function, r);
  if (!(value >= INT_MIN && value <= INT_MAX)) {
    return fail(s, TALVIR_ERROR_PARAMETER_RANGE, "%s: %g is outside the range %d .. %d of \"%s\"", function,
                value, r.value.integer.minimum, r.value.integer.maximum, r.name);
  }
  if (value != std::floor(value)) {
    return fail(s, TALVIR_ERROR_PARAMETER_TYPE, "%s: \"%s\" takes whole numbers, not %g", function, r.name,
                value);
  }
  return set_integer(s, function, r, static_cast<int>(value));
}

int set_from_text(talvir_solver* s, vek::core::ParameterRecord& r, const char* text) {
  constexpr const char* kFunction = "talvir_set_parameter";
  if (r.type == vek::core::kTextParameter) {
    vek::core::ParameterValue v{};
    v.text = text;
    return store(s, kFunction, r, v);
  }
  // The decimal grammar of io/decimal_text.h, the one the reference host's --set reads.
  if (r.type == vek::core::kIntegerParameter) {
    long long value = 0;
    if (vek::io::parse_decimal_integer(text, &value))
      return set_integer(s, kFunction, r, static_cast<int>(value));
    double whole = 0.0;  // a decimal whole number beyond 32 bits is out of range, anything else no number
    if (vek::io::parse_decimal_real(text, &whole) && whole == std::floor(whole) &&
        std::strpbrk(text, ".eE") == nullptr) {
      return fail(s, TALVIR_ERROR_PARAMETER_RANGE, "%s: %s is outside the range %d .. %d of \"%s\"",
                  kFunction, text, r.value.integer.minimum, r.value.integer.maximum, r.name);
    }
    return fail(s, TALVIR_ERROR_PARAMETER_TYPE, "%s: \"%s\" is not a whole number for \"%s\"", kFunction,
                text, r.name);
  }
  double value = 0.0;
  if (!vek::io::parse_decimal_real(text, &value)) {
    return fail(s, TALVIR_ERROR_PARAMETER_TYPE, "%s: \"%s\" is not a number for \"%s\"", kFunction, text,
                r.name);
  }
  return set_real(s, kFunction, r, value);
}

}  // namespace

extern "C" {

TALVIR_API int talvir_parameter_count(int* count) {
  if (count == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  *count = talvir_api::kNativeParameterCount;
  return TALVIR_OK;
}

TALVIR_API int talvir_parameter_info(int index, const char** name, const char** description, int* type,
                                     double* minimum, double* maximum, double* default_number,
                                     const char** default_text, const char** options) {
  if (index < 0 || index >= talvir_api::kNativeParameterCount) return TALVIR_ERROR_BAD_VALUE;
  const vek::core::ParameterDefinition& d = talvir_api::native_definition(index);
  if (name != nullptr) *name = d.name;
  if (description != nullptr) *description = d.description;
  if (type != nullptr) *type = d.type;
  if (minimum != nullptr) *minimum = d.minimum;
  if (maximum != nullptr) *maximum = d.maximum;
  if (default_number != nullptr) *default_number = d.default_number;
  if (default_text != nullptr) *default_text = d.default_text;
  if (options != nullptr) *options = d.options;
  return TALVIR_OK;
}

TALVIR_API int talvir_set_integer_parameter(talvir_solver* s, const char* name, int value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_set_integer_parameter", name, r);
  return status != TALVIR_OK ? status : set_integer(s, "talvir_set_integer_parameter", *r, value);
}

TALVIR_API int talvir_set_real_parameter(talvir_solver* s, const char* name, double value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_set_real_parameter", name, r);
  return status != TALVIR_OK ? status : set_real(s, "talvir_set_real_parameter", *r, value);
}

TALVIR_API int talvir_set_text_parameter(talvir_solver* s, const char* name, const char* value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_set_text_parameter", name, r);
  if (status != TALVIR_OK) return status;
  if (r->type != vek::core::kTextParameter) return wrong_type(s, "talvir_set_text_parameter", *r);
  if (value == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_set_text_parameter: null text");
  vek::core::ParameterValue v{};
  v.text = value;
  return store(s, "talvir_set_text_parameter", *r, v);
}

TALVIR_API int talvir_set_parameter(talvir_solver* s, const char* name, const char* value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_set_parameter", name, r);
  if (status != TALVIR_OK) return status;
  if (value == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_set_parameter: null value text");
  return set_from_text(s, *r, value);
}

TALVIR_API int talvir_get_integer_parameter(const talvir_solver* s, const char* name, int* value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_get_integer_parameter", name, r);
  if (status != TALVIR_OK) return status;
  if (r->type != vek::core::kIntegerParameter) return wrong_type(s, "talvir_get_integer_parameter", *r);
  if (value == nullptr)
    return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_integer_parameter: null out-pointer");
  *value = r->value.integer.value;
  return succeed(s);
}

TALVIR_API int talvir_get_real_parameter(const talvir_solver* s, const char* name, double* value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_get_real_parameter", name, r);
  if (status != TALVIR_OK) return status;
  if (r->type == vek::core::kTextParameter) return wrong_type(s, "talvir_get_real_parameter", *r);
  if (value == nullptr)
    return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_real_parameter: null out-pointer");
  *value = r->type == vek::core::kRealParameter ? r->value.real.value : r->value.integer.value;
  return succeed(s);
}

TALVIR_API int talvir_get_text_parameter(const talvir_solver* s, const char* name, const char** value) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::ParameterRecord* r = nullptr;
  const int status = find(s, "talvir_get_text_parameter", name, r);
  if (status != TALVIR_OK) return status;
  if (r->type != vek::core::kTextParameter) return wrong_type(s, "talvir_get_text_parameter", *r);
  if (value == nullptr)
    return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_text_parameter: null out-pointer");
  *value = r->value.text.value;
  return succeed(s);
}

}  // extern "C"
