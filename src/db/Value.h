// A field value as the access layer hands it out: Null, or a typed value.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "rilo/automation.h"

namespace rilo::db {

struct Null {
  friend bool operator==(Null, Null) = default;
};

/// An exact decimal (SQL decimal, numeric, money) as its exact text, e.g. "1280.5000".
struct Decimal {
  std::string text;
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

using Value = std::variant<Null, std::int64_t, double, Decimal, std::string, CalendarDateTime>;

inline bool IsNull(const Value& v) { return std::holds_alternative<Null>(v); }

/// The value as the classic automation conversion writes it, for the pair list and the
/// reminder text: Null gives "" (callers decide what Null means for them); whole numbers
/// without a decimal point; decimals from their exact text without trailing zeros; doubles
/// with at most 15 significant digits ("0.3", "1E+15", "1.23456789012346E+15", "1E-05");
/// date-times as "yyyy-MM-dd HH:mm:ss" (or "yyyy-MM-dd" at midnight).
std::string ValueToText(const Value& v);

}  // namespace rilo::db
