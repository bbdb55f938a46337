#include <stdexcept>
#include <string>

#include "component/Instance.h"

namespace rilo::component {
namespace {

platform::MessageLoop& Bound(platform::MessageLoop* loop) {
  if (loop == nullptr) throw std::logic_error("timer is not bound");
  return *loop;
}

}  // namespace

void TimerRef::SetInterval(std::int64_t ms) {
  if (!Bound(loop_).SetTimerPeriod(id_, ms)) {
    throw std::invalid_argument("timer refuses a period of " + std::to_string(ms) + " ms");
  }
}

std::int64_t TimerRef::Interval() const { return Bound(loop_).TimerPeriod(id_); }

void TimerRef::SetEnabled(bool enabled) { Bound(loop_).SetTimerEnabled(id_, enabled); }

bool TimerRef::Enabled() const { return Bound(loop_).TimerEnabled(id_); }

std::optional<Clock::TimePoint> TimerRef::NextDue() const {
  return Bound(loop_).TimerDeadline(id_);
}

void TimerRef::OnTick(std::function<void()> handler) {
  Bound(loop_).SetTimerHandler(id_, std::move(handler));
}

void TimerRef::Bind(platform::MessageLoop& loop, std::uint64_t timer_id) {
  if (!loop.TimerExists(timer_id)) throw std::logic_error("no such timer");
  loop_ = &loop;
  id_ = timer_id;
}

void TimerRef::Release() {
  if (loop_ == nullptr) return;
  loop_->SetTimerHandler(id_, nullptr);
  loop_ = nullptr;
  id_ = 0;
}

}  // namespace rilo::component
