// What keeping the jobs' status costs: a progress-ticker tick on the virtual clock (the run
// recorded, the event raised to no listener), and a Status call from another thread to a
// server thread whose ticker runs.
//
//   status_bench [ticks] [calls]
//
// Defaults: 200000 ticks, 10000 calls. Times are wall-clock.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "rilo/ClsRiloSever.h"
#include "rilo/ServerThread.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  auto index = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

void MeasureTicks(int ticks) {
  auto clock = std::make_shared<rilo::VirtualClock>();
  auto thread = rilo::ServerThread::Attach({clock, nullptr});
  auto server = rilo::ClsRiloSever::Create(thread);
  server->StartRun();
  const auto start = Clock::now();
  thread->RunFor(std::chrono::milliseconds(std::int64_t{10} * ticks));
  const double seconds = duration<double>(Clock::now() - start).count();
  const auto runs = server->Status().Of(rilo::Job::kProgressTicker).runs;
  std::printf("ticker on the virtual clock: %llu ticks in %.3f s = %.3f us per tick\n",
              static_cast<unsigned long long>(runs), seconds,
              seconds * 1e6 / static_cast<double>(runs));
}

void MeasureStatusCalls(int calls) {
  auto thread = rilo::ServerThread::Start();
  auto server = rilo::ClsRiloSever::Create(thread);
  server->StartRun();
  server->StartServer(46089, "Store", "sqlite:/nonexistent｜｜｜Main", 60000);
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(calls));
  for (int i = 0; i < calls; ++i) {
    const auto start = Clock::now();
    const rilo::JobStatusSnapshot snapshot = server->Status();
    us.push_back(duration<double, std::micro>(Clock::now() - start).count());
    if (snapshot.jobs.size() != 4) std::abort();
  }
  std::printf("Status from another thread, ticker running, %d calls: p50 %.1f us, p99 %.1f us\n",
              calls, Quantile(us, 0.5), Quantile(us, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
  const int ticks = argc > 1 ? std::atoi(argv[1]) : 200000;
  const int calls = argc > 2 ? std::atoi(argv[2]) : 10000;
  MeasureTicks(ticks);
  MeasureStatusCalls(calls);
  return 0;
}
