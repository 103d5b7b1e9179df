// Cancellation: a request to stop a solve, made from any thread or from a signal handler, or a deadline,
// that the QP's loops (and the engine between its steps) look at on the solving thread.
//
// A caller that allows it names its Cancellation for the duration of an engine call with a
// CancellationScope; without one nothing is ever cancelled, and every routine behaves exactly as it
// always has. Only the any-size instances look (a fixed-size subproblem, at most 9 variables, ends
// in microseconds, and the lookup of a thread_local in a shared library costs a call). A routine that sees
// the request returns early; QPSUB then answers QPFAIL = 7 and the engine its own ending. The record is only
// read here: the caller clears its flag.
#pragma once

#include <atomic>
#include <chrono>

namespace vek::qp {

struct Cancellation {
  const std::atomic<bool>* flag = nullptr;  // set by the requester (null: no flag)
  bool timed = false;                       // the deadline applies
  std::chrono::steady_clock::time_point deadline{};

  bool requested() const {
    if (flag != nullptr && flag->load(std::memory_order_relaxed)) return true;
    return timed && std::chrono::steady_clock::now() >= deadline;
  }
};

namespace detail {
inline thread_local const Cancellation* cancellation = nullptr;
}

// True when the scope of the calling thread names a Cancellation that is requested.
inline bool cancellation_requested() {
  const Cancellation* const c = detail::cancellation;
  return c != nullptr && c->requested();
}

class CancellationScope {
 public:
  explicit CancellationScope(const Cancellation& c) : previous_(detail::cancellation) {
    detail::cancellation = &c;
  }
  ~CancellationScope() { detail::cancellation = previous_; }
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;

 private:
  const Cancellation* previous_;
};

}  // namespace vek::qp
