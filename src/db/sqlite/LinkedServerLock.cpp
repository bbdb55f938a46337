#include "db/sqlite/LinkedServerLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "db/DbError.h"

namespace rilo::db::sqlite {

std::optional<LinkedServerLock> LinkedServerLock::TryLock(const std::filesystem::path& folder) {
  const auto file = folder / ".linked_servers.lock";
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    throw DbError(DbError::Kind::kEngine,
                  "cannot open the lock file " + file.string() + ": " + std::strerror(errno));
  }
  // flock, not fcntl: its lock belongs to this open file, so two connections of one process
  // exclude each other too, and closing another descriptor of the file does not drop it.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    ::close(fd);
    if (error == EWOULDBLOCK) return std::nullopt;
    throw DbError(DbError::Kind::kEngine,
                  "cannot lock " + file.string() + ": " + std::strerror(error));
  }
  return LinkedServerLock(fd);
}

LinkedServerLock::LinkedServerLock(LinkedServerLock&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

LinkedServerLock::~LinkedServerLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

}  // namespace rilo::db::sqlite
