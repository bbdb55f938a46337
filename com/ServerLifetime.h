// How long the server process serves: until its last object and its last lock are released.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>

namespace rilo::com {

class ServerLifetime {
 public:
  ServerLifetime();
  ~ServerLifetime();
  ServerLifetime(const ServerLifetime&) = delete;
  ServerLifetime& operator=(const ServerLifetime&) = delete;

  /// An object was made or the server locked.
  void AddRef();
  /// An object went or a lock was released; the last one ends the server.
  void Release();

  /// Blocks until the last release. A server that COM started for a client that never comes
  /// (it died first) ends when no object was made within `first_object_within`.
  void WaitForEnd(std::chrono::milliseconds first_object_within);

 private:
  HANDLE ended_;
  std::atomic<bool> used_{false};
};

}  // namespace rilo::com
