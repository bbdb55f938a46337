// Real-clock measurements of the server thread's loop: the progress ticker's rate and
// regularity, the CPU an idle server uses, and the round trip of a host call.
//
//   loop_bench [--ticker-seconds N] [--idle-seconds N] [--calls N]
//
// Defaults: 10 s of ticker, 60 s idle, 10000 calls.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rilo/ClsRiloSever.h"
#include "rilo/ServerThread.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;
using std::chrono::duration_cast;

struct Options {
  double ticker_seconds = 10;
  double idle_seconds = 60;
  int calls = 10000;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--ticker-seconds") == 0) {
      options.ticker_seconds = std::atof(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--idle-seconds") == 0) {
      options.idle_seconds = std::atof(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--calls") == 0) {
      options.calls = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      std::exit(2);
    }
  }
  return options;
}

// Sorted copy's value at fraction `q` (0..1).
double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  auto index = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

#ifdef _WIN32
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {  // 100 ns units
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}
#else
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
#endif

class TickRecorder : public rilo::ClsRiloSeverEvents {
 public:
  void WorkProcess(std::int32_t&) override {
    std::lock_guard guard(mutex_);
    times_.push_back(Clock::now());
  }
  std::vector<Clock::time_point> times() const {
    std::lock_guard guard(mutex_);
    return times_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Clock::time_point> times_;
};

void MeasureTicker(double seconds) {
  auto thread = rilo::ServerThread::Start();
  auto server = rilo::ClsRiloSever::Create(thread);
  auto recorder = std::make_shared<TickRecorder>();
  server->Connect(recorder);
  server->StartRun();
  std::this_thread::sleep_for(duration<double>(seconds));
  server.reset();
  auto times = recorder->times();
  std::vector<double> intervals_ms;
  for (std::size_t i = 1; i < times.size(); ++i) {
    intervals_ms.push_back(duration<double, std::milli>(times[i] - times[i - 1]).count());
  }
  std::printf(
      "ticker: %zu WorkProcess in %.1f s = %.1f/s; interval p50 %.3f ms, p99 %.3f ms, "
      "max %.3f ms\n",
      times.size(), seconds, static_cast<double>(times.size()) / seconds,
      Quantile(intervals_ms, 0.5), Quantile(intervals_ms, 0.99),
      intervals_ms.empty() ? 0.0 : *std::max_element(intervals_ms.begin(), intervals_ms.end()));
}

void MeasureIdle(double seconds) {
  auto thread = rilo::ServerThread::Start();
  auto server = rilo::ClsRiloSever::Create(thread);
  // Nothing is reachable behind these settings; the timers are armed all the same.
  server->StartServer(46089, "Store", "sqlite:/nonexistent｜｜｜Main", 60000);
  const double cpu_before = CpuSeconds();
  const auto wall_before = Clock::now();
  std::this_thread::sleep_for(duration<double>(seconds));
  const double cpu = CpuSeconds() - cpu_before;
  const double wall = duration<double>(Clock::now() - wall_before).count();
  std::printf(
      "idle: summary (60000 ms) and reminder timers armed, %.1f s: CPU %.6f s = %.4f %% "
      "of a core\n",
      wall, cpu, 100.0 * cpu / wall);
}

void MeasureRoundTrip(int calls) {
  auto thread = rilo::ServerThread::Start();
  auto server = rilo::ClsRiloSever::Create(thread);
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(calls));
  for (int i = 0; i < calls; ++i) {
    // Let the server thread fall asleep again, so every call has to wake it.
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    const auto start = Clock::now();
    server->Disconnect(0);  // a host call that changes nothing
    us.push_back(duration<double, std::micro>(Clock::now() - start).count());
  }
  std::printf(
      "host call round trip to an idle server thread, %d calls: p50 %.1f us, p99 %.1f us, "
      "max %.1f us\n",
      calls, Quantile(us, 0.5), Quantile(us, 0.99), *std::max_element(us.begin(), us.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  MeasureRoundTrip(options.calls);
  MeasureTicker(options.ticker_seconds);
  MeasureIdle(options.idle_seconds);
  return 0;
}
