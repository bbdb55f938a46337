// The state and services of one ClsRiloSever instance, as its jobs see them. Everything here
// is used on the server thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "component/JobRecords.h"
#include "component/ServerContext.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/automation.h"

namespace rilo::component {

class frmClock;
class Instance;
class ListenerList;

/// A member bound to one timer of the instance's frmClock. Every operation throws when the
/// member is unbound (the form could not be made, or the instance is being destroyed), so
/// that the failure rule skips the step.
class TimerRef {
 public:
  /// Sets the period in ms and restarts the countdown; throws when the timer refuses it.
  void SetInterval(std::int64_t ms);
  std::int64_t Interval() const;
  /// Enabling restarts the countdown.
  void SetEnabled(bool enabled);
  bool Enabled() const;
  /// When the timer ticks next; nothing when it is off or has no period.
  std::optional<Clock::TimePoint> NextDue() const;

  /// Subscribes `handler` to the timer's ticks, replacing the previous one.
  void OnTick(std::function<void()> handler);

  bool IsBound() const { return loop_ != nullptr; }
  /// Throws when `timer_id` names no timer of `loop`.
  void Bind(platform::MessageLoop& loop, std::uint64_t timer_id);
  /// Ends the subscription and unbinds; does nothing when unbound.
  void Release();

 private:
  platform::MessageLoop* loop_ = nullptr;
  std::uint64_t id_ = 0;
};

/// The three database jobs, given to the instance at creation so that the component does
/// not depend on them (and tests can stand in their own).
struct JobSet {
  std::function<void(Instance&)> daily_summary;  // tick of oTimer
  std::function<void(Instance&)> refresh;        // tick of oTimer2
  std::function<void(Instance&)> reminder;       // tick of oTimer4
};

class Instance : public std::enable_shared_from_this<Instance> {
 public:
  /// Creates the instance with its own frmClock, its timers bound and disabled.
  static std::shared_ptr<Instance> Create(ServerContext& context, JobSet jobs);
  ~Instance();

  // The three methods. They store values and arm timers; they never run a job.
  void StartServer(AutomationDate MyDate, const std::string& MyDpName, const std::string& MySetStr,
                   std::int32_t StartInterval);
  void StartUpdate(const std::string& MySetStr, VariantBool GetNetwork,
                   const std::string& MyDpName);
  void StartRun();

  ClsRiloSever::Cookie Connect(std::shared_ptr<ClsRiloSeverEvents> listener);
  void Disconnect(ClsRiloSever::Cookie cookie);
  /// The host let go: timers off, listeners gone. A running job still finishes.
  void ReleaseFromHost();

  // Raising the events: to every connected listener in connection order; a listener that
  // throws is skipped.
  void RaiseServerStart(std::string& str);
  void RaiseTipsUpdate(VariantBool& Pd);
  void RaiseWorkProcess(std::int32_t& index);
  void RaiseTipsStart(std::string& str);

  /// Lets pending messages of the thread run (ticks, host calls), then returns.
  void Yield();
  /// Blocks the thread for `ms`.
  void Sleep(std::chrono::milliseconds ms);

  ServerContext& context() const { return context_; }
  db::DbSettings& settings() const { return context_.settings; }
  /// What Status reports of the jobs' runs; written by the jobs' runs (JobRun).
  JobRecords& job_records() { return job_records_; }
  const JobRecords& job_records() const { return job_records_; }

  // Instance fields.
  std::unique_ptr<frmClock> ClockForm;
  AutomationDate BusinessDate = 0;
  std::string StoreName;
  VariantBool RefreshEnabled = kVariantFalse;
  TimerRef oTimer;   // daily summary job
  TimerRef oTimer2;  // refresh job
  TimerRef oTimer3;  // progress ticker
  TimerRef oTimer4;  // reminder job
  std::int32_t ProgressAngle = 0;

 private:
  Instance(ServerContext& context, JobSet jobs);
  void Initialize();
  void BindTimer(TimerRef& timer, std::uint64_t timer_id, std::function<void(Instance&)> job,
                 std::string_view where);

  ServerContext& context_;
  JobSet jobs_;
  std::unique_ptr<ListenerList> listeners_;
  JobRecords job_records_;
};

}  // namespace rilo::component
