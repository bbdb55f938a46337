#include "component/Instance.h"

#include <stdexcept>
#include <utility>

#include "component/FailureRule.h"
#include "component/ListenerList.h"
#include "component/ProgressTicker.h"
#include "component/StoreName.h"
#include "component/frmClock.h"
#include "db/ModSQL.h"
#include "rilo/JobStatus.h"

namespace rilo::component {
namespace {

constexpr std::int64_t kRefreshDelayMs = 2000;
constexpr std::int64_t kProgressPeriodMs = 10;
constexpr std::int64_t kReminderPeriodMs = 60000;

}  // namespace

std::shared_ptr<Instance> Instance::Create(ServerContext& context, JobSet jobs) {
  // make_shared needs a public constructor; this local type lends it ours.
  struct Made : Instance {
    Made(ServerContext& c, JobSet j) : Instance(c, std::move(j)) {}
  };
  std::shared_ptr<Instance> self = std::make_shared<Made>(context, std::move(jobs));
  self->Initialize();
  return self;
}

Instance::Instance(ServerContext& context, JobSet jobs)
    : context_(context), jobs_(std::move(jobs)), listeners_(std::make_unique<ListenerList>()) {}

void Instance::Initialize() {
  constexpr std::string_view kWhere = "creation";
  RunStep(context_, kWhere, "create frmClock",
          [&] { ClockForm = std::make_unique<frmClock>(context_.loop); });
  RunStep(context_, kWhere, "load frmClock", [&] {
    if (!ClockForm) throw std::logic_error("frmClock was not created");
    ClockForm->Load();
  });
  auto form_timer = [&](platform::TimerId frmClock::*control) {
    if (!ClockForm || !ClockForm->Loaded()) throw std::logic_error("frmClock is not loaded");
    return (*ClockForm).*control;
  };
  RunStep(context_, kWhere, "bind oTimer", [&] {
    BindTimer(oTimer, form_timer(&frmClock::timClock), jobs_.daily_summary,
              JobName(Job::kDailySummary));
  });
  RunStep(context_, kWhere, "bind oTimer2", [&] {
    BindTimer(oTimer2, form_timer(&frmClock::timClock2), jobs_.refresh, JobName(Job::kRefresh));
  });
  RunStep(context_, kWhere, "bind oTimer3", [&] {
    BindTimer(oTimer3, form_timer(&frmClock::timClock3), RunProgressTicker, JobName(Job::kProgressTicker));
  });
  RunStep(context_, kWhere, "bind oTimer4", [&] {
    BindTimer(oTimer4, form_timer(&frmClock::timClock4), jobs_.reminder, JobName(Job::kReminder));
  });
  RunStep(context_, kWhere, "disable oTimer", [&] { oTimer.SetEnabled(false); });
  RunStep(context_, kWhere, "disable oTimer2", [&] { oTimer2.SetEnabled(false); });
  RunStep(context_, kWhere, "disable oTimer3", [&] { oTimer3.SetEnabled(false); });
  RunStep(context_, kWhere, "disable oTimer4", [&] { oTimer4.SetEnabled(false); });
}

void Instance::BindTimer(TimerRef& timer, platform::TimerId timer_id,
                         std::function<void(Instance&)> job, std::string_view where) {
  timer.Bind(context_.loop, timer_id);
  // The tick holds the instance for the whole run, so a host that lets go meanwhile does
  // not destroy it under the job. Once the instance is gone, a tick does nothing.
  timer.OnTick([weak = weak_from_this(), &timer, job = std::move(job), where] {
    std::shared_ptr<Instance> self = weak.lock();
    if (!self) return;
    if (!job) {
      // No job behind this timer: stop it rather than tick for nothing.
      RunStep(self->context_, where, "disable its timer", [&] { timer.SetEnabled(false); });
      return;
    }
    RunStep(self->context_, where, "run", [&] { job(*self); });
  });
}

Instance::~Instance() {
  constexpr std::string_view kWhere = "destruction";
  // Members released by the host's release are already off and unsubscribed.
  if (oTimer.IsBound())
    RunStep(context_, kWhere, "disable oTimer", [&] { oTimer.SetEnabled(false); });
  if (oTimer2.IsBound())
    RunStep(context_, kWhere, "disable oTimer2", [&] { oTimer2.SetEnabled(false); });
  if (oTimer3.IsBound())
    RunStep(context_, kWhere, "disable oTimer3", [&] { oTimer3.SetEnabled(false); });
  if (oTimer4.IsBound())
    RunStep(context_, kWhere, "disable oTimer4", [&] { oTimer4.SetEnabled(false); });
  RunStep(context_, kWhere, "release oTimer", [&] { oTimer.Release(); });
  RunStep(context_, kWhere, "release oTimer2", [&] { oTimer2.Release(); });
  RunStep(context_, kWhere, "release oTimer3", [&] { oTimer3.Release(); });
  RunStep(context_, kWhere, "release oTimer4", [&] { oTimer4.Release(); });
  RunStep(context_, kWhere, "unload frmClock", [&] {
    if (ClockForm) ClockForm->Unload();
  });
}

void Instance::StartServer(AutomationDate MyDate, const std::string& MyDpName,
                           const std::string& MySetStr, std::int32_t StartInterval) {
  constexpr std::string_view kWhere = "StartServer";
  RunStep(context_, kWhere, "store main settings",
          [&] { db::SetMainSettings(context_.settings, MySetStr); });
  RunStep(context_, kWhere, "store BusinessDate", [&] { BusinessDate = MyDate; });
  RunStep(context_, kWhere, "store StoreName", [&] { StoreName = TrimStoreName(MyDpName); });
  RunStep(context_, kWhere, "set oTimer period", [&] { oTimer.SetInterval(StartInterval); });
  RunStep(context_, kWhere, "enable oTimer", [&] { oTimer.SetEnabled(true); });
  RunStep(context_, kWhere, "set oTimer4 period", [&] { oTimer4.SetInterval(kReminderPeriodMs); });
  RunStep(context_, kWhere, "enable oTimer4", [&] { oTimer4.SetEnabled(true); });
}

void Instance::StartUpdate(const std::string& MySetStr, VariantBool GetNetwork,
                           const std::string& MyDpName) {
  constexpr std::string_view kWhere = "StartUpdate";
  RunStep(context_, kWhere, "store all settings",
          [&] { db::SetAllSettings(context_.settings, MySetStr); });
  RunStep(context_, kWhere, "store RefreshEnabled", [&] { RefreshEnabled = GetNetwork; });
  RunStep(context_, kWhere, "store StoreName", [&] { StoreName = TrimStoreName(MyDpName); });
  RunStep(context_, kWhere, "set oTimer2 period", [&] { oTimer2.SetInterval(kRefreshDelayMs); });
  RunStep(context_, kWhere, "enable oTimer2", [&] { oTimer2.SetEnabled(true); });
}

void Instance::StartRun() {
  constexpr std::string_view kWhere = "StartRun";
  RunStep(context_, kWhere, "set oTimer3 period", [&] { oTimer3.SetInterval(kProgressPeriodMs); });
  RunStep(context_, kWhere, "enable oTimer3", [&] { oTimer3.SetEnabled(true); });
}

ClsRiloSever::Cookie Instance::Connect(std::shared_ptr<ClsRiloSeverEvents> listener) {
  return listeners_->Connect(std::move(listener));
}

void Instance::Disconnect(ClsRiloSever::Cookie cookie) { listeners_->Disconnect(cookie); }

void Instance::ReleaseFromHost() {
  constexpr std::string_view kWhere = "release";
  listeners_->Clear();
  const std::pair<TimerRef*, std::string_view> timers[] = {
      {&oTimer, "oTimer"}, {&oTimer2, "oTimer2"}, {&oTimer3, "oTimer3"}, {&oTimer4, "oTimer4"}};
  for (const auto& entry : timers) {
    TimerRef* timer = entry.first;
    if (!timer->IsBound()) continue;
    RunStep(context_, kWhere, entry.second, [timer] {
      timer->SetEnabled(false);
      timer->Release();
    });
  }
}

void Instance::RaiseServerStart(std::string& str) {
  listeners_->ForEach([&](ClsRiloSeverEvents& listener) {
    RunStep(context_, "ServerStart", "listener", [&] { listener.ServerStart(str); });
  });
}

void Instance::RaiseTipsUpdate(VariantBool& Pd) {
  listeners_->ForEach([&](ClsRiloSeverEvents& listener) {
    RunStep(context_, "TipsUpdate", "listener", [&] { listener.TipsUpdate(Pd); });
  });
}

void Instance::RaiseWorkProcess(std::int32_t& index) {
  listeners_->ForEach([&](ClsRiloSeverEvents& listener) {
    RunStep(context_, "WorkProcess", "listener", [&] { listener.WorkProcess(index); });
  });
}

void Instance::RaiseTipsStart(std::string& str) {
  listeners_->ForEach([&](ClsRiloSeverEvents& listener) {
    RunStep(context_, "TipsStart", "listener", [&] { listener.TipsStart(str); });
  });
}

void Instance::Yield() { context_.Yield(); }

void Instance::Sleep(std::chrono::milliseconds ms) { context_.loop.Sleep(ms); }

}  // namespace rilo::component
