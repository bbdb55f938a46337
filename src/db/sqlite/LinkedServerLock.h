// The lock a refresh holds on an engine folder from linking to unlinking. ITSV is one name per
// folder, as on SQL Server it is one per server, so two processes refreshing stores of the
// same folder from different head offices must take turns: otherwise one replaces the
// other's link and its store is filled from the wrong head office.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace rilo::db::sqlite {

/// An exclusive lock on the file DIR/.linked_servers.lock, beside the linked-server registry
/// (flock() on Linux, LockFileEx on Windows). The system releases it when the holder dies, so
/// a killed process never blocks the folder.
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
  static constexpr std::intptr_t kNone = -1;
  explicit LinkedServerLock(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_ = kNone;  // a descriptor, or a Windows HANDLE
};

}  // namespace rilo::db::sqlite
