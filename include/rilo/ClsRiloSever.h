// ClsRiloSever: the server's one public class. A host creates it, hands it the business
// date, the store's name and the database settings through three methods, and listens to
// four events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "rilo/JobStatus.h"
#include "rilo/ServerThread.h"
#include "rilo/automation.h"

namespace rilo {

namespace component {
class Instance;
}

/// The four events. They are raised on the server thread, synchronously: the raising job
/// goes on when every listener has returned. Override those you need; the others do nothing.
class ClsRiloSeverEvents {
 public:
  virtual ~ClsRiloSeverEvents() = default;
  /// The takings of the business date as a pair list. Writing into `str` changes nothing.
  virtual void ServerStart(std::string& /*str*/) {}
  /// The outcome of a master-data refresh. Writing into `Pd` changes nothing.
  virtual void TipsUpdate(VariantBool& /*Pd*/) {}
  /// The progress counter; `index` is the instance's counter itself, so a value written
  /// into it is where the counter goes on from.
  virtual void WorkProcess(std::int32_t& /*index*/) {}
  /// One appointment reminder. Writing into `str` changes nothing.
  virtual void TipsStart(std::string& /*str*/) {}
};

class ClsRiloSever {
 public:
  using Cookie = std::uint32_t;

  /// Creates an instance on `thread` (the default server thread when empty). Safe from any
  /// thread. Releasing the last reference stops the timers at once and disconnects every
  /// listener; a job that is under way finishes its work first.
  static std::shared_ptr<ClsRiloSever> Create(std::shared_ptr<ServerThread> thread = nullptr);

  ~ClsRiloSever();
  ClsRiloSever(const ClsRiloSever&) = delete;
  ClsRiloSever& operator=(const ClsRiloSever&) = delete;

  /// Stores the main settings, the business date and the store name; arms the daily summary
  /// every `StartInterval` ms (0: never) and the reminders every minute. Safe from any thread.
  void StartServer(AutomationDate MyDate, const std::string& MyDpName, const std::string& MySetStr,
                   std::int32_t StartInterval = 0);

  /// Stores all eight settings, the refresh flag and the store name; arms one refresh run
  /// 2000 ms later. Safe from any thread.
  void StartUpdate(const std::string& MySetStr, VariantBool GetNetwork,
                   const std::string& MyDpName);

  /// Starts the progress ticker (every 10 ms). Safe from any thread.
  void StartRun();

  /// Connects a listener; events go to listeners in the order they connected. Safe from any
  /// thread.
  Cookie Connect(std::shared_ptr<ClsRiloSeverEvents> listener);

  /// Disconnects the listener of `cookie`; an unknown cookie is ignored.
  void Disconnect(Cookie cookie);

  /// The state of the four jobs: timers, the last run of each, the last failure (passwords
  /// masked). Changes nothing. Safe from any thread; served like a method, so a job asleep
  /// on the server thread delays the answer.
  JobStatusSnapshot Status() const;

  ServerThread& thread() const { return *thread_; }

 private:
  ClsRiloSever(std::shared_ptr<ServerThread> thread, std::shared_ptr<component::Instance> instance);

  std::shared_ptr<ServerThread> thread_;
  std::shared_ptr<component::Instance> instance_;
};

}  // namespace rilo
