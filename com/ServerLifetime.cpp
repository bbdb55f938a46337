#include "ServerLifetime.h"

#include <objbase.h>

namespace rilo::com {

ServerLifetime::ServerLifetime() : ended_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

ServerLifetime::~ServerLifetime() { CloseHandle(ended_); }

void ServerLifetime::AddRef() {
  used_ = true;
  CoAddRefServerProcess();
}

void ServerLifetime::Release() {
  // At zero COM also stops handing out the class object, so a client that comes now starts
  // a new server instead of reaching this one as it ends.
  if (CoReleaseServerProcess() == 0) SetEvent(ended_);
}

void ServerLifetime::WaitForEnd(std::chrono::milliseconds first_object_within) {
  const DWORD first = static_cast<DWORD>(first_object_within.count());
  if (WaitForSingleObject(ended_, first) == WAIT_OBJECT_0 || !used_) return;
  WaitForSingleObject(ended_, INFINITE);
}

}  // namespace rilo::com
