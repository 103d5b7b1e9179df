// Cancellation: a request to stop a solve, made from any thread or from a signal handler, that the QP's
// loops (and the engine between its steps) look at on the solving thread.
//
// A caller that allows it names its flag for the duration of an engine call with a CancellationScope;
// without one nothing is ever cancelled, and every routine behaves exactly as it always has. A routine
// that sees the request returns early; QPSUB then answers QPFAIL = 7 and the engine its own ending.
// The flag is only read here: the caller clears it.
#pragma once

#include <atomic>

namespace vek::qp {

namespace detail {
inline thread_local const std::atomic<bool>* cancellation_flag = nullptr;
}

// True when the scope of the calling thread names a flag that has been set.
inline bool cancellation_requested() {
  const std::atomic<bool>* const flag = detail::cancellation_flag;
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

class CancellationScope {
 public:
  explicit CancellationScope(const std::atomic<bool>& flag) : previous_(detail::cancellation_flag) {
    detail::cancellation_flag = &flag;
  }
  ~CancellationScope() { detail::cancellation_flag = previous_; }
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

}  // namespace vek::qp
