// The lock a refresh holds on an engine folder from linking to unlinking. ITSV is one name per
// folder, as on SQL Server it is one per server, so two processes refreshing stores of the
// same folder from different head offices must take turns: otherwise one replaces the
// other's link and its store is filled from the wrong head office.
#pragma once

#include <filesystem>
#include <optional>

namespace rilo::db::sqlite {

/// An exclusive flock() on DIR/.linked_servers.lock, beside the linked-server registry. The
/// kernel releases it when the holder dies, so a killed process never blocks the folder.
class LinkedServerLock {
 public:
  /// Takes the lock without waiting: nothing when another holder has it. Throws DbError when
  /// the lock file cannot be opened (the folder is missing or not writable).
  static std::optional<LinkedServerLock> TryLock(const std::filesystem::path& folder);

  ~LinkedServerLock();
  LinkedServerLock(LinkedServerLock&& other) noexcept;
  LinkedServerLock& operator=(LinkedServerLock&&) = delete;
  LinkedServerLock(const LinkedServerLock&) = delete;
  LinkedServerLock& operator=(const LinkedServerLock&) = delete;

 private:
  explicit LinkedServerLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace rilo::db::sqlite
