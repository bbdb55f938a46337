#include "rilo/ServerThread.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <future>
#include <stdexcept>
#include <thread>
#include <utility>

#include "component/ServerContext.h"
#include "db/BlockingCall.h"
#include "db/odbc/OdbcChoice.h"

namespace rilo {
namespace {

// What the loop needs to keep running. A started thread holds it too, so that a server
// thread released from inside one of its own messages finishes that message safely.
struct Core {
  Core(const ServerThreadOptions& options, db::OdbcChoice odbc)
      : clock(options.clock ? options.clock : MakeSteadyClock()),
        context(clock, options.diagnostics, std::move(odbc), options.odbc.link_provider) {}

  std::shared_ptr<Clock> clock;
  component::ServerContext context;
};

}  // namespace

struct ServerThread::Private {
  std::shared_ptr<Core> core;
  std::thread thread;  // not joinable in attached mode
};

ServerThread::ServerThread(std::unique_ptr<Private> p) : p_(std::move(p)) {}

std::shared_ptr<ServerThread> ServerThread::Make(std::unique_ptr<Private> p) {
  // make_shared needs a public constructor; this local type lends it ours.
  struct Made : ServerThread {
    explicit Made(std::unique_ptr<Private> q) : ServerThread(std::move(q)) {}
  };
  return std::make_shared<Made>(std::move(p));
}

std::shared_ptr<ServerThread> ServerThread::Start(ServerThreadOptions options) {
  // Read on the caller's thread, so that bad settings fail this call.
  db::OdbcChoice odbc = db::CheckedOdbcChoice(options.odbc);
  auto p = std::make_unique<Private>();
  auto ready = std::make_shared<std::promise<std::shared_ptr<Core>>>();
  auto core = ready->get_future();
  p->thread = std::thread([ready, options = std::move(options), odbc = std::move(odbc)] {
#ifdef __linux__
    // Wake at a deadline as exactly as the kernel can: the default 50 us slack shows in
    // every 10 ms tick.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    // Made on this thread, so the loop belongs to it from the start.
    auto own = std::make_shared<Core>(options, odbc);
    ready->set_value(own);
    const db::ScopedBlockingCallRunner database_calls(own->context.DatabaseCallRunner());
    own->context.loop.Run();
  });
  p->core = core.get();
  return Make(std::move(p));
}

std::shared_ptr<ServerThread> ServerThread::Attach(ServerThreadOptions options) {
  auto p = std::make_unique<Private>();
  p->core = std::make_shared<Core>(options, db::CheckedOdbcChoice(options.odbc));
  return Make(std::move(p));
}

std::shared_ptr<ServerThread> ServerThread::Default() {
  static const std::shared_ptr<ServerThread> thread = Start();
  return thread;
}

ServerThread::~ServerThread() {
  if (!p_->thread.joinable()) return;
  p_->core->context.loop.Quit();
  if (p_->thread.get_id() == std::this_thread::get_id()) {
    // Released from inside its own message: the loop ends after that message returns.
    p_->thread.detach();
  } else {
    p_->thread.join();
  }
}

void ServerThread::RunFor(std::chrono::milliseconds d) {
  if (p_->thread.joinable() || !IsCurrent()) {
    throw std::logic_error("RunFor: only the attached server thread drives its loop");
  }
  auto& context = p_->core->context;
  const db::ScopedBlockingCallRunner database_calls(context.DatabaseCallRunner());
  context.loop.RunUntil(context.loop.clock().Now() + d);
}

bool ServerThread::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (p_->thread.joinable() || !IsCurrent()) {
    throw std::logic_error("RunUntil: only the attached server thread drives its loop");
  }
  auto& context = p_->core->context;
  const db::ScopedBlockingCallRunner database_calls(context.DatabaseCallRunner());
  return context.loop.RunUntil(done, context.loop.clock().Now() + limit);
}

void ServerThread::Invoke(const std::function<void()>& fn) {
  if (IsCurrent()) {
    fn();
    return;
  }
  // Owned by the message: if the loop ends before running it, the caller gets
  // std::future_error instead of waiting for ever.
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  p_->core->context.loop.Post([&fn, done] {
    try {
      fn();
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  finished.get();
}

bool ServerThread::IsCurrent() const { return p_->core->context.loop.IsInLoopThread(); }

Clock& ServerThread::clock() { return *p_->core->clock; }

component::ServerContext& ServerThread::context() { return p_->core->context; }

}  // namespace rilo
