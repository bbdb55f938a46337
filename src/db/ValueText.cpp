#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

#include "db/Value.h"

namespace rilo::db {
namespace {

// Writes the decimal number sign * 0.digits * 10^point in the classic form: plain notation,
// no trailing fractional zeros, no lone point, "0" for zero.
std::string PlainDecimal(bool negative, std::string digits, int point) {
  const std::size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) return "0";
  digits.erase(0, lead);
  point -= static_cast<int>(lead);
  digits.erase(digits.find_last_not_of('0') + 1);

  std::string out = negative ? "-" : "";
  const int count = static_cast<int>(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (point >= count) {
    out += digits;
    out.append(static_cast<std::size_t>(point - count), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits, static_cast<std::size_t>(point));
  }
  return out;
}

// Exact decimal text such as "1280.5000", "-0.10", "+.5" or "0E-4". Text of another shape is
// handed back as it stands rather than guessed at.
std::string DecimalToText(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  std::string digits;
  int point = -1;
  bool any_digit = false;
  while (!rest.empty()) {
    const char c = rest.front();
    if (c >= '0' && c <= '9') {
      digits += c;
      any_digit = true;
    } else if (c == '.' && point < 0) {
      point = static_cast<int>(digits.size());
    } else {
      break;
    }
    rest.remove_prefix(1);
  }
  if (point < 0) point = static_cast<int>(digits.size());
  if (!any_digit) return std::string(text);
  if (!rest.empty()) {
    if (rest.front() != 'E' && rest.front() != 'e') return std::string(text);
    rest.remove_prefix(1);
    if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
    int exponent = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
    // A decimal has at most 38 digits; a far larger exponent is not a decimal's text.
    if (error != std::errc() || end != rest.data() + rest.size() || std::abs(exponent) > 400) {
      return std::string(text);
    }
    point += exponent;
  }
  return PlainDecimal(negative, std::move(digits), point);
}

std::string DoubleToText(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Infinity" : "Infinity";
  if (x == 0) return "0";  // -0.0 too

  // Rounded once, exactly, to 15 significant digits: "d.dddddddddddddde+XX".
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 14);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = text.front() == '-';
  const std::size_t e_at = text.find('e');
  std::string digits;
  for (char c : text.substr(negative ? 1 : 0, e_at - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::string_view exponent_text = text.substr(e_at + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

  if (exponent >= -4 && exponent < 15) return PlainDecimal(negative, digits, exponent + 1);

  digits.erase(digits.find_last_not_of('0') + 1);
  std::string mantissa = digits.substr(0, 1);
  if (digits.size() > 1) {
    mantissa += '.';
    mantissa.append(digits, 1);
  }
  return fmt::format("{}{}E{}{:02d}", negative ? "-" : "", mantissa, exponent < 0 ? '-' : '+',
                     std::abs(exponent));
}

std::string DateTimeToText(const CalendarDateTime& t) {
  const std::string date = fmt::format("{:04d}-{:02d}-{:02d}", t.year, t.month, t.day);
  if (t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0) return date;
  return fmt::format("{} {:02d}:{:02d}:{:02d}", date, t.hour, t.minute, t.second);
}

}  // namespace

std::string ValueToText(const Value& v) {
  struct Writer {
    std::string operator()(Null) const { return {}; }
    std::string operator()(std::int64_t n) const { return std::to_string(n); }
    std::string operator()(double x) const { return DoubleToText(x); }
    std::string operator()(const Decimal& d) const { return DecimalToText(d.text); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const CalendarDateTime& t) const { return DateTimeToText(t); }
  };
  return std::visit(Writer{}, v);
}

}  // namespace rilo::db
