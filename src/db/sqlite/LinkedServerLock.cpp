#include "db/sqlite/LinkedServerLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>

#include "db/DbError.h"

namespace rilo::db::sqlite {
namespace {

DbError LockFileError(const std::filesystem::path& file, const std::string& why) {
  return DbError(DbError::Kind::kEngine, "cannot lock " + file.string() + ": " + why);
}

}  // namespace

#ifdef _WIN32

std::optional<LinkedServerLock> LinkedServerLock::TryLock(const std::filesystem::path& folder) {
  const auto file = folder / ".linked_servers.lock";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw LockFileError(file, "error " + std::to_string(GetLastError()));
  }
  OVERLAPPED whole{};
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                  MAXDWORD, &whole)) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (error == ERROR_LOCK_VIOLATION) return std::nullopt;
    throw LockFileError(file, "error " + std::to_string(error));
  }
  return LinkedServerLock(reinterpret_cast<std::intptr_t>(handle));
}

LinkedServerLock::~LinkedServerLock() {
  // Closing the handle releases the lock, as does the process ending.
  if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

#else

std::optional<LinkedServerLock> LinkedServerLock::TryLock(const std::filesystem::path& folder) {
  const auto file = folder / ".linked_servers.lock";
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw LockFileError(file, std::strerror(errno));
  // flock, not fcntl: its lock belongs to this open file, so two connections of one process
  // exclude each other too, and closing another descriptor of the file does not drop it.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    ::close(fd);
    if (error == EWOULDBLOCK) return std::nullopt;
    throw LockFileError(file, std::strerror(error));
  }
  return LinkedServerLock(fd);
}

LinkedServerLock::~LinkedServerLock() {
  // Closing the last descriptor releases the lock, as does the process ending.
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
}

#endif

LinkedServerLock::LinkedServerLock(LinkedServerLock&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kNone;
}

}  // namespace rilo::db::sqlite
