#include "component/ListenerList.h"

#include <algorithm>

namespace rilo::component {

ListenerList::Cookie ListenerList::Connect(std::shared_ptr<ClsRiloSeverEvents> listener) {
  if (!listener) return 0;
  // Cookies are not reused while the counter lasts, so a stale one disconnects nothing.
  do {
    ++last_cookie_;
  } while (last_cookie_ == 0 || IsConnected(last_cookie_));
  entries_.emplace_back(last_cookie_, std::move(listener));
  return last_cookie_;
}

void ListenerList::Disconnect(Cookie cookie) {
  std::erase_if(entries_, [cookie](const auto& entry) { return entry.first == cookie; });
}

bool ListenerList::IsConnected(Cookie cookie) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [cookie](const auto& entry) { return entry.first == cookie; });
}

}  // namespace rilo::component
