// What the instance remembers of its jobs' runs for Status: in memory only, server thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "rilo/JobStatus.h"

namespace rilo::component {

class Instance;

/// The failures of one run under way. The server context hands each failure it is told of
/// to the innermost run, so a job nested in another's yield keeps its own.
struct RunFailures {
  std::uint32_t count = 0;
  std::optional<JobFailure> first;  // the cause; later ones often only follow from it

  /// One failure, as the diagnostics describe it: the exception in flight, if any, gives its
  /// class (none: the run refused). Never throws.
  void Note(std::string_view where, std::string_view message) noexcept;
};

struct JobRecord {
  int running = 0;
  std::uint64_t runs = 0;
  std::optional<JobRunOutcome> last_run;
  std::optional<JobFailure> last_failure;
};

class JobRecords {
 public:
  JobRecord& operator[](Job job) { return records_.at(static_cast<std::size_t>(job)); }
  const JobRecord& operator[](Job job) const { return records_.at(static_cast<std::size_t>(job)); }

 private:
  std::array<JobRecord, 4> records_{};
};

/// The state of `self`'s four jobs now: their records and their timers. The failure messages
/// are as recorded; the caller masks what it shows.
JobStatusSnapshot SnapshotJobStatus(const Instance& self);

}  // namespace rilo::component
