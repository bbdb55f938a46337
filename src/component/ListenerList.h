// The listeners connected to one instance, in connection order.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "rilo/ClsRiloSever.h"

namespace rilo::component {

class ListenerList {
 public:
  using Cookie = ClsRiloSever::Cookie;

  /// Returns the listener's cookie; 0 (never a valid cookie) for an empty listener, which is
  /// not connected.
  Cookie Connect(std::shared_ptr<ClsRiloSeverEvents> listener);
  void Disconnect(Cookie cookie);
  void Clear() { entries_.clear(); }
  bool IsConnected(Cookie cookie) const;
  std::size_t size() const { return entries_.size(); }

  /// Calls `raise(listener)` for each listener connected when the call begins, in connection
  /// order. A listener may connect, disconnect or release anything from inside: one
  /// disconnected meanwhile is skipped, one connected meanwhile waits for the next event.
  template <class Raise>
  void ForEach(Raise&& raise) const {
    const auto snapshot = entries_;
    for (const auto& [cookie, listener] : snapshot) {
      if (IsConnected(cookie)) raise(*listener);
    }
  }

 private:
  std::vector<std::pair<Cookie, std::shared_ptr<ClsRiloSeverEvents>>> entries_;
  Cookie last_cookie_ = 0;
};

}  // namespace rilo::component
