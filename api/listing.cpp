// The listing of a native solver: the engine writes unit 7 of the solver's own unit table, which is
// connected to the caller's listing sink line by line (contracts in api/solver.h).
#include "api/solver.h"

namespace talvir_api {
namespace {

void forward_line(void* context, const char* text, std::size_t /*length*/) {
  const auto* s = static_cast<const talvir_solver*>(context);
  if (s->listing != nullptr) s->listing(text, s->listing_user);
}

}  // namespace

ListingScope::ListingScope(talvir_solver& s) : scope_(s.units) {
  if (s.listing != nullptr && !vek::io::is_connected(vek::io::kListingUnit)) {
    vek::io::connect_sink(vek::io::kListingUnit, forward_line, &s);
  }
}

void end_listing(talvir_solver& s) {
  const vek::io::UnitScope scope(s.units);
  vek::io::disconnect(vek::io::kListingUnit);
}

}  // namespace talvir_api
