// Text as the wide ODBC calls take and give it (SQLWCHAR is 16-bit on unixODBC).
#pragma once

#include <sql.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rilo::db::odbc {

/// UTF-16 units with a terminating zero that size() does not count.
class WideText {
 public:
  explicit WideText(std::string_view utf8);

  SQLWCHAR* data() { return units_.data(); }
  /// Units without the terminating zero.
  std::size_t size() const { return units_.size() - 1; }

 private:
  std::vector<SQLWCHAR> units_;
};

std::string FromWide(const SQLWCHAR* text, std::size_t units);

/// A name or message a driver wrote into a buffer: up to its terminating zero, at most
/// `units`. unixODBC reports the length of such text in a narrow-only driver's bytes, which
/// overstates its UTF-16 length, so the terminator is what counts.
std::string FromWideTerminated(const SQLWCHAR* text, std::size_t units);

}  // namespace rilo::db::odbc
