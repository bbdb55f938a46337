#include "platform/TimerQueue.h"

#include <algorithm>
#include <utility>

namespace rilo::platform {

TimerQueue::Handler TimerQueue::MakeHandler(std::function<void()> on_tick) {
  if (!on_tick) return nullptr;
  return std::make_shared<const std::function<void()>>(std::move(on_tick));
}

TimerQueue::Timer* TimerQueue::Find(TimerId id) {
  auto it = timers_.find(id);
  return it == timers_.end() ? nullptr : &it->second;
}

const TimerQueue::Timer* TimerQueue::Find(TimerId id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? nullptr : &it->second;
}

TimerId TimerQueue::Create(std::function<void()> on_tick) {
  TimerId id = ++last_id_;
  timers_[id].on_tick = MakeHandler(std::move(on_tick));
  return id;
}

void TimerQueue::Destroy(TimerId id) { timers_.erase(id); }

bool TimerQueue::Exists(TimerId id) const { return Find(id) != nullptr; }

void TimerQueue::SetHandler(TimerId id, std::function<void()> on_tick) {
  if (Timer* t = Find(id)) t->on_tick = MakeHandler(std::move(on_tick));
}

bool TimerQueue::SetPeriod(TimerId id, std::int64_t period_ms, TimePoint now) {
  Timer* t = Find(id);
  if (t == nullptr || period_ms < 0 || period_ms > MessageLoop::kMaxTimerPeriodMs) return false;
  t->period_ms = period_ms;
  t->deadline = now + std::chrono::milliseconds(period_ms);
  return true;
}

void TimerQueue::SetEnabled(TimerId id, bool enabled, TimePoint now) {
  Timer* t = Find(id);
  if (t == nullptr) return;
  t->enabled = enabled;
  if (enabled) t->deadline = now + std::chrono::milliseconds(t->period_ms);
}

bool TimerQueue::Enabled(TimerId id) const {
  const Timer* t = Find(id);
  return t != nullptr && t->enabled;
}

std::int64_t TimerQueue::Period(TimerId id) const {
  const Timer* t = Find(id);
  return t == nullptr ? 0 : t->period_ms;
}

std::optional<TimerQueue::TimePoint> TimerQueue::Deadline(TimerId id) const {
  const Timer* t = Find(id);
  if (t == nullptr || !t->enabled || t->period_ms <= 0) return std::nullopt;
  return t->deadline;
}

std::vector<TimerId> TimerQueue::Due(TimePoint now) const {
  std::vector<std::pair<TimePoint, TimerId>> due;
  for (const auto& [id, t] : timers_) {
    if (t.CanTick() && t.deadline <= now) due.emplace_back(t.deadline, id);
  }
  std::sort(due.begin(), due.end());
  std::vector<TimerId> ids;
  ids.reserve(due.size());
  for (const auto& entry : due) ids.push_back(entry.second);
  return ids;
}

std::optional<TimerQueue::TimePoint> TimerQueue::NextDeadline() const {
  std::optional<TimePoint> next;
  for (const auto& [id, t] : timers_) {
    if (t.CanTick() && (!next || t.deadline < *next)) next = t.deadline;
  }
  return next;
}

TimerQueue::Handler TimerQueue::BeginTick(TimerId id, TimePoint due_by, TimePoint now) {
  Timer* t = Find(id);
  // An earlier message may have disabled the timer or restarted its countdown.
  if (t == nullptr || !t->CanTick() || t->deadline > due_by) return nullptr;
  t->deadline = now + std::chrono::milliseconds(t->period_ms);
  if (!t->on_tick) return nullptr;
  t->running = true;
  return t->on_tick;
}

void TimerQueue::EndTick(TimerId id) {
  if (Timer* t = Find(id)) t->running = false;
}

}  // namespace rilo::platform
