// What handing one database call to the server thread's worker costs: the round trip of an
// empty call through CallWhileServing, loop thread to worker and back.
//
//   handoff_bench [calls, default 20000]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/CallWhileServing.h"

int main(int argc, char** argv) {
  const int calls = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
  rilo::platform::MessageLoop loop(nullptr);
  rilo::platform::WorkerThread worker;
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(calls));
  for (int i = 0; i < calls; ++i) {
    const auto start = std::chrono::steady_clock::now();
    rilo::platform::CallWhileServing(loop, worker, [] {});
    us.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(us.begin(), us.end());
  const auto at = [&](double q) {
    return us[std::min(us.size() - 1, static_cast<std::size_t>(q * static_cast<double>(us.size())))];
  };
  std::printf("hand-off of an empty call (%d calls): p50 %.1f us  p90 %.1f us  p99 %.1f us  max %.1f us\n",
              calls, at(0.5), at(0.9), at(0.99), us.back());
  return 0;
}
