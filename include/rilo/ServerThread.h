// A server thread: the message loop on which instances of ClsRiloSever live, with their
// timers and jobs, and the database settings that those instances share.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "rilo/Clock.h"
#include "rilo/Diagnostics.h"
#include "rilo/OdbcSettings.h"

namespace rilo {

namespace component {
struct ServerContext;
}

struct ServerThreadOptions {
  /// Time source; the steady clock when empty.
  std::shared_ptr<Clock> clock;
  /// Where failures are described; nothing is written when empty.
  std::shared_ptr<DiagnosticsSink> diagnostics;
  /// How this thread's jobs reach SQL Server; another thread's settings never apply here.
  OdbcSettings odbc{};
};

class ServerThread {
 public:
  /// Starts a dedicated thread whose loop runs until the ServerThread is destroyed.
  /// Destroying it stops the loop and joins the thread; calls still waiting fail with
  /// std::future_error. Destroyed on its own thread (its last reference dropped inside one of
  /// its messages), it ends the loop after that message. Throws std::invalid_argument, and
  /// starts nothing, when OdbcSettingsProblem finds fault with options.odbc.
  static std::shared_ptr<ServerThread> Start(ServerThreadOptions options = {});

  /// Makes the calling thread the server thread. Nothing runs until the caller drives the
  /// loop with RunFor or RunUntil: for tests on a virtual clock and for hosts with a loop of
  /// their own. A call from another thread waits until the loop is driven. Throws
  /// std::invalid_argument as Start does.
  static std::shared_ptr<ServerThread> Attach(ServerThreadOptions options = {});

  /// The process-wide server thread used by ClsRiloSever::Create() without an argument,
  /// started on first use.
  static std::shared_ptr<ServerThread> Default();

  ~ServerThread();
  ServerThread(const ServerThread&) = delete;
  ServerThread& operator=(const ServerThread&) = delete;

  /// Attached mode, server thread only (throws std::logic_error otherwise): serves messages
  /// and timers until `d` of the clock's time has passed.
  void RunFor(std::chrono::milliseconds d);

  /// Attached mode, server thread only (throws std::logic_error otherwise): serves until
  /// `done()` holds (checked after every message) or `limit` of the clock's time has passed.
  /// Returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

  /// Runs `fn` on the server thread and waits for it; on the server thread it runs at once.
  /// Safe to call from any thread. An exception thrown by `fn` is passed on to the caller.
  void Invoke(const std::function<void()>& fn);

  /// True on the server thread.
  bool IsCurrent() const;

  Clock& clock();

  /// Internal state, for the library's own code.
  component::ServerContext& context();

 private:
  struct Private;
  explicit ServerThread(std::unique_ptr<Private> p);
  static std::shared_ptr<ServerThread> Make(std::unique_ptr<Private> p);
  std::unique_ptr<Private> p_;
};

}  // namespace rilo
