#include "ServeSession.h"

#include <fmt/format.h>

#include <type_traits>
#include <utility>

namespace rilo::host {

ServeSession::ServeSession(std::shared_ptr<ServerThread> thread, std::shared_ptr<LineWriter> out)
    : thread_(std::move(thread)), out_(std::move(out)) {}

ServeSession::~ServeSession() { ReleaseAll(); }

std::optional<std::string> ServeSession::Run(const Call& call) {
  if (std::holds_alternative<ReleaseCall>(call.args)) {
    auto it = instances_.find(call.instance);
    if (it == instances_.end()) {
      return fmt::format("there is no instance \"{}\" to release", call.instance);
    }
    Release(it->second);
    instances_.erase(it);
    return std::nullopt;
  }

  if (std::holds_alternative<StatusCall>(call.args)) return "Status has an answer of its own";

  ClsRiloSever& server = *Get(call.instance).server;
  std::visit(
      [&server](const auto& args) {
        using Args = std::decay_t<decltype(args)>;
        if constexpr (std::is_same_v<Args, StartServerCall>) {
          server.StartServer(args.MyDate, args.MyDpName, args.MySetStr, args.StartInterval);
        } else if constexpr (std::is_same_v<Args, StartUpdateCall>) {
          server.StartUpdate(args.MySetStr, args.GetNetwork, args.MyDpName);
        } else if constexpr (std::is_same_v<Args, StartRunCall>) {
          server.StartRun();
        }
      },
      call.args);
  return std::nullopt;
}

std::variant<JobStatusSnapshot, std::string> ServeSession::Status(const std::string& name) const {
  auto it = instances_.find(name);
  if (it == instances_.end()) return fmt::format("there is no instance \"{}\"", name);
  return it->second.server->Status();
}

void ServeSession::ReleaseAll() {
  for (auto& [name, entry] : instances_) Release(entry);
  instances_.clear();
}

ServeSession::Entry& ServeSession::Get(const std::string& name) {
  auto it = instances_.find(name);
  if (it != instances_.end()) return it->second;
  Entry entry;
  entry.server = ClsRiloSever::Create(thread_);
  entry.listener = std::make_shared<JsonEventListener>(name, out_);
  entry.cookie = entry.server->Connect(entry.listener);
  return instances_.emplace(name, std::move(entry)).first->second;
}

void ServeSession::Release(Entry& entry) {
  // Mute first: a job of this instance may be raising an event right now on the server
  // thread, and nothing of it may follow the answer to Release.
  entry.listener->Mute();
  entry.server->Disconnect(entry.cookie);
  entry.server.reset();
}

}  // namespace rilo::host
