// The answer to `{"call":"Status"}`: one JSON line with the state of an instance's four jobs.
#pragma once

#include <string>
#include <string_view>

#include "rilo/JobStatus.h"

namespace rilo::host {

/// One JSON object, without the line break. Durations and delays are in milliseconds; the
/// moments ("started", "next_due", "at") are UTC wall-clock times in ISO 8601, derived from
/// the server's steady clock through the moment the snapshot was taken.
std::string EncodeStatus(std::string_view instance, const JobStatusSnapshot& snapshot);

}  // namespace rilo::host
