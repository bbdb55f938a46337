// Reading a connection string: "key=value;key=value", keywords case-insensitive, values in
// double or single quotes (the quote doubled inside) honoured.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rilo::db {

class ConnectionString {
 public:
  /// Throws DbError(kUsage) for text that cannot be read (an unterminated quote, text after a
  /// closing quote, a part without '='). Blanks around unquoted values are dropped.
  static ConnectionString Parse(std::string_view text);

  /// The value of `keyword` (case-insensitive, surrounding blanks of the keyword ignored); the
  /// last one wins when a keyword repeats.
  std::optional<std::string> Get(std::string_view keyword) const;

  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

/// `value` as it must be written after "key=" so it stays one value: unchanged when it holds
/// no ';' and no quote character and neither starts nor ends with a blank (the reader drops
/// such blanks of unquoted values); otherwise in double quotes (or single quotes when it holds
/// a double quote), the quote doubled inside.
std::string QuoteConnectionValue(std::string_view value);

}  // namespace rilo::db
