// The listing of a native solver: the engine writes unit 7 of the solver's own unit table, which is
// connected to the caller's listing sink line by line (contracts in api/solver.h).
#include "api/solver.h"

namespace talvir_api {
namespace {

// The sink may call the getters only (refuse_in_listing turns the rest away), so it can neither end
// the solve whose listing it receives nor step it again.
void forward_line(void* context, const char* text, std::size_t /*length*/) {
  auto* s = static_cast<talvir_solver*>(context);
  if (s->listing == nullptr || s->in_listing) return;
  s->in_listing = true;
  s->listing(text, s->listing_user);
  s->in_listing = false;
}

}  // namespace

ListingScope::ListingScope(talvir_solver& s) : scope_(s.units) {
  if (s.listing != nullptr && !vek::io::is_connected(vek::io::kListingUnit)) {
    vek::io::connect_sink(vek::io::kListingUnit, forward_line, &s);
  }
}

int refuse_in_listing(const talvir_solver* s, const char* function) {
  if (!s->in_listing) return TALVIR_OK;
  return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "%s: called from the listing sink (it may call the getters only)",
              function);
}

void end_listing(talvir_solver& s) {
  const vek::io::UnitScope scope(s.units);
  vek::io::disconnect(vek::io::kListingUnit);
}

}  // namespace talvir_api
