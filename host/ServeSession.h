// The instances of one `serve` process, by name, all on one server thread. Runs the calls
// that the protocol parsed; writes nothing itself but the events, through each instance's
// listener.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "JsonEventListener.h"
#include "JsonProtocol.h"
#include "LineWriter.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/ServerThread.h"

namespace rilo::host {

class ServeSession {
 public:
  ServeSession(std::shared_ptr<ServerThread> thread, std::shared_ptr<LineWriter> out);
  ~ServeSession();
  ServeSession(const ServeSession&) = delete;
  ServeSession& operator=(const ServeSession&) = delete;

  /// Runs `call` on its instance, creating the instance on first use, and returns once the
  /// call has run on the server thread. Returns why not, changing nothing, when the call
  /// cannot run (Release of an instance that does not exist). Status is asked with Status.
  std::optional<std::string> Run(const Call& call);

  /// The state of the jobs of instance `name`, or why not (there is no such instance: asking
  /// creates none).
  std::variant<JobStatusSnapshot, std::string> Status(const std::string& name) const;

  /// Releases every instance; after it returns no event is written.
  void ReleaseAll();

  std::size_t size() const { return instances_.size(); }

 private:
  struct Entry {
    std::shared_ptr<ClsRiloSever> server;
    std::shared_ptr<JsonEventListener> listener;
    ClsRiloSever::Cookie cookie = 0;
  };

  Entry& Get(const std::string& name);
  static void Release(Entry& entry);

  std::shared_ptr<ServerThread> thread_;
  std::shared_ptr<LineWriter> out_;
  std::map<std::string, Entry, std::less<>> instances_;
};

}  // namespace rilo::host
