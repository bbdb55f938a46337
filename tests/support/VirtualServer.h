// Test helper: a server thread attached to the test's own thread, on a virtual clock, and a
// listener that records every event with the virtual time it arrived at. Nothing runs until
// the test drives the loop with RunFor or RunUntil, so an hour of schedule takes
// milliseconds and every run is repeatable.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "component/Instance.h"
#include "rilo/Clock.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/Diagnostics.h"
#include "rilo/OdbcSettings.h"
#include "rilo/ServerThread.h"

namespace rilo::testing {

enum class EventKind { kServerStart, kTipsUpdate, kWorkProcess, kTipsStart };

struct RecordedEvent {
  EventKind kind;
  /// Virtual time since the VirtualServer was made.
  std::chrono::milliseconds at;
  /// The argument of ServerStart and TipsStart.
  std::string text;
  /// The argument of TipsUpdate (Pd) and WorkProcess (index).
  std::int32_t number = 0;
};

/// Records every event it receives, then calls the matching hook, if any, with the event's
/// argument, so a test can write into it or act from inside an event.
class RecordingListener : public ClsRiloSeverEvents {
 public:
  RecordingListener(std::shared_ptr<Clock> clock, Clock::TimePoint origin)
      : clock_(std::move(clock)), origin_(origin) {}

  void ServerStart(std::string& str) override {
    Record(EventKind::kServerStart, str, 0);
    if (on_server_start) on_server_start(str);
  }
  void TipsUpdate(VariantBool& Pd) override {
    Record(EventKind::kTipsUpdate, {}, Pd);
    if (on_tips_update) on_tips_update(Pd);
  }
  void WorkProcess(std::int32_t& index) override {
    Record(EventKind::kWorkProcess, {}, index);
    if (on_work_process) on_work_process(index);
  }
  void TipsStart(std::string& str) override {
    Record(EventKind::kTipsStart, str, 0);
    if (on_tips_start) on_tips_start(str);
  }

  const std::vector<RecordedEvent>& events() const { return events_; }
  Clock::TimePoint origin() const { return origin_; }

  /// The events of one kind, in arrival order.
  std::vector<RecordedEvent> Of(EventKind kind) const {
    std::vector<RecordedEvent> out;
    for (const auto& e : events_) {
      if (e.kind == kind) out.push_back(e);
    }
    return out;
  }

  std::size_t Count(EventKind kind) const { return Of(kind).size(); }

  void Clear() { events_.clear(); }

  std::function<void(std::string&)> on_server_start;
  std::function<void(VariantBool&)> on_tips_update;
  std::function<void(std::int32_t&)> on_work_process;
  std::function<void(std::string&)> on_tips_start;

 private:
  void Record(EventKind kind, std::string text, std::int32_t number) {
    auto at = std::chrono::duration_cast<std::chrono::milliseconds>(clock_->Now() - origin_);
    events_.push_back(RecordedEvent{kind, at, std::move(text), number});
  }

  std::shared_ptr<Clock> clock_;
  Clock::TimePoint origin_;
  std::vector<RecordedEvent> events_;
};

/// A diagnostics sink that keeps every line it is given.
class RecordingSink : public DiagnosticsSink {
 public:
  struct Line {
    LogLevel level;
    std::string where;
    std::string message;
  };

  void Write(LogLevel level, std::string_view where, std::string_view message) override {
    lines.push_back(Line{level, std::string(where), std::string(message)});
  }

  std::vector<Line> lines;
};

/// An attached server thread on a virtual clock, with one recording listener that Create and
/// CreateInstance connect to every instance they make.
class VirtualServer {
 public:
  explicit VirtualServer(std::shared_ptr<DiagnosticsSink> diagnostics = nullptr,
                         OdbcSettings odbc = {})
      : clock(std::make_shared<VirtualClock>()),
        thread(ServerThread::Attach({clock, std::move(diagnostics), std::move(odbc)})),
        listener(std::make_shared<RecordingListener>(clock, clock->Now())) {}

  /// Where a db::ScopedStatementHook watches the statements of this thread's connections.
  const std::shared_ptr<db::StatementHookSlot>& statement_hook() {
    return thread->context().session_options->statement_hook;
  }

  /// A ClsRiloSever with the real jobs, the listener connected.
  std::shared_ptr<ClsRiloSever> Create() {
    auto server = ClsRiloSever::Create(thread);
    server->Connect(listener);
    return server;
  }

  /// A bare instance with the given jobs, the listener connected. The instance is destroyed
  /// when the last reference goes.
  std::shared_ptr<component::Instance> CreateInstance(component::JobSet jobs) {
    auto instance = component::Instance::Create(thread->context(), std::move(jobs));
    instance->Connect(listener);
    return instance;
  }

  /// Serves messages and timers for `d` of virtual time.
  void RunFor(std::chrono::milliseconds d) { thread->RunFor(d); }

  /// Serves until `done()` holds or `limit` of virtual time has passed. Returns done().
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::hours(24)) {
    return thread->RunUntil(done, limit);
  }

  /// Virtual time since the VirtualServer was made.
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock->Now() - listener->origin());
  }

  std::shared_ptr<VirtualClock> clock;
  std::shared_ptr<ServerThread> thread;
  std::shared_ptr<RecordingListener> listener;
};

}  // namespace rilo::testing
