#include "tds/TdsErrorNumber.h"

#include <string_view>

namespace rilo::tds {
namespace {

constexpr long kSqliteError = 1;
constexpr long kConstraintCheck = 275;
constexpr long kConstraintForeignKey = 787;
constexpr long kConstraintNotNull = 1299;
constexpr long kConstraintPrimaryKey = 1555;
constexpr long kConstraintUnique = 2067;
constexpr long kUserError = 50000;

struct Number {
  long number;
  std::uint8_t severity;
};

Number Translate(long code, std::string_view message) {
  switch (code) {
    case kConstraintPrimaryKey:
      return {2627, 14};  // Violation of PRIMARY KEY constraint
    case kConstraintUnique:
      return {2601, 14};  // Cannot insert duplicate key row
    case kConstraintNotNull:
      return {515, 16};  // Cannot insert the value NULL
    case kConstraintForeignKey:
    case kConstraintCheck:
      return {547, 16};  // The statement conflicted with a constraint
    case kSqliteError:
      if (message.starts_with("no such table")) return {208, 16};
      if (message.starts_with("no such column")) return {207, 16};
      if (message.find("syntax error") != std::string_view::npos) return {102, 15};
      return {kUserError, 16};
    default:
      return {code > 0 ? code : kUserError, 16};
  }
}

}  // namespace

TdsErrorInfo ServerError(const db::DbError& error) {
  const Number number = Translate(error.native_code(), error.what());
  TdsErrorInfo info;
  info.number = number.number;
  info.severity = number.severity;
  info.message = error.what();
  return info;
}

}  // namespace rilo::tds
