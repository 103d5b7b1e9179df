// The listing of a native solver: the engine's unit 7 text goes to the solver's own listing sink.
#include "api/solver.h"

namespace talvir_api {

ListingScope::ListingScope(talvir_solver& s) {
  static_cast<void>(s);
}

ListingScope::~ListingScope() = default;

}  // namespace talvir_api
