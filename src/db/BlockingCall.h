// Where the engines' blocking calls run. A server thread, while it serves its loop, sends
// them to its database worker and keeps serving until they return; anywhere else they run on
// the calling thread.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace rilo::db {

/// Runs the call it is given to its end, elsewhere or not, and passes on what it throws.
using BlockingCallRunner = std::function<void(const std::function<void()>& call)>;

/// Sends the calling thread's blocking calls to `runner` while the object lives; the runner
/// installed before it comes back afterwards. Destroy on the thread that made it.
class ScopedBlockingCallRunner {
 public:
  explicit ScopedBlockingCallRunner(BlockingCallRunner runner);
  ~ScopedBlockingCallRunner();
  ScopedBlockingCallRunner(const ScopedBlockingCallRunner&) = delete;
  ScopedBlockingCallRunner& operator=(const ScopedBlockingCallRunner&) = delete;

 private:
  BlockingCallRunner runner_;
  const BlockingCallRunner* previous_;
};

/// Runs `call` with the calling thread's runner, or right here when it has none.
void RunBlockingCall(const std::function<void()>& call);

/// The same, for a call with a result.
template <class Call>
auto RunBlocking(Call&& call) -> std::invoke_result_t<Call&> {
  using Result = std::invoke_result_t<Call&>;
  if constexpr (std::is_void_v<Result>) {
    RunBlockingCall(call);
  } else {
    std::optional<Result> result;
    RunBlockingCall([&] { result.emplace(call()); });
    return std::move(*result);
  }
}

}  // namespace rilo::db
