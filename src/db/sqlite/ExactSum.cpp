#include "db/sqlite/ExactSum.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "db/sqlite/SqliteHandles.h"

namespace rilo::db::sqlite {
namespace {

// The exact total needs more than 64 bits; the compiler's 128-bit integers suffice.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// DECIMAL(18,2) needs 2; 18 keeps the 128-bit range above 10^20 for any amount.
constexpr int kMostDecimals = 18;

constexpr std::array<Int128, 39> MakePowersOfTen() {
  std::array<Int128, 39> powers{};
  Int128 power = 1;
  for (std::size_t i = 0; i < powers.size(); ++i) {
    powers[i] = power;
    if (i + 1 < powers.size()) power *= 10;
  }
  return powers;
}
constexpr std::array<Int128, 39> kPowersOfTen = MakePowersOfTen();

// `mantissa` * 10^-`decimals`.
struct Decimal {
  Int128 mantissa;
  int decimals;
};

// The decimal the shortest round-trip text of `value` names, when it has at most
// kMostDecimals decimals and fits 128 bits.
std::optional<Decimal> DecimalOf(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  // Amounts in cents, without formatting: when m/100 reads back as `value` and m is well
  // inside 2^53, m/100 is the only two-decimal number that does, hence the shortest text.
  constexpr double kFastLimit = 1125899906842624.0;  // 2^50
  const double cents = value * 100.0;
  if (std::fabs(cents) < kFastLimit) {
    const auto m = std::llround(cents);
    if (static_cast<double>(m) / 100.0 == value) return Decimal{m, 2};
  }

  std::array<char, 40> text{};
  const auto written =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific);
  if (written.ec != std::errc()) return std::nullopt;
  // "-d.ddde+XX": the digits, then the exponent of the first one.
  const char* p = text.data();
  const bool negative = *p == '-';
  if (negative) ++p;
  Int128 digits = 0;
  int count = 0;
  for (; p < written.ptr && *p != 'e'; ++p) {
    if (*p == '.') continue;
    digits = digits * 10 + (*p - '0');
    ++count;
  }
  int exponent = 0;
  if (p == written.ptr ||
      std::from_chars(p + (p[1] == '+' ? 2 : 1), written.ptr, exponent).ec != std::errc()) {
    return std::nullopt;
  }
  const int scale = exponent - (count - 1);
  if (negative) digits = -digits;
  if (scale < 0) {
    if (-scale > kMostDecimals) return std::nullopt;
    return Decimal{digits, -scale};
  }
  if (scale >= static_cast<int>(kPowersOfTen.size())) return std::nullopt;
  Int128 whole = 0;
  if (__builtin_mul_overflow(digits, kPowersOfTen[static_cast<std::size_t>(scale)], &whole)) {
    return std::nullopt;
  }
  return Decimal{whole, 0};
}

// The aggregate's state, in memory SQLite hands out zeroed: every member starts at zero.
struct SumState {
  std::int64_t count;    // non-NULL inputs
  std::int64_t integer;  // the total while every input is an integer, as SQLite keeps it
  bool approximate;      // an input was not an integer: the result is REAL
  bool overflow;         // the integer total left 64 bits while exact
  bool inexact;          // the decimal total left its range: `rough` holds the total
  int decimals;          // of `exact`
  Int128 exact;          // the total * 10^decimals
  long double rough;     // compensated total, and its lost low part
  long double rough_low;
};

void AddRough(SumState& s, long double x) {
  // Neumaier's variant of Kahan summation: also right when x outweighs the total.
  const long double t = s.rough + x;
  if (std::fabs(s.rough) >= std::fabs(x)) {
    s.rough_low += (s.rough - t) + x;
  } else {
    s.rough_low += (x - t) + s.rough;
  }
  s.rough = t;
}

void LeaveExactRange(SumState& s) {
  s.inexact = true;
  s.rough = static_cast<long double>(s.exact) /
            static_cast<long double>(kPowersOfTen[static_cast<std::size_t>(s.decimals)]);
  s.rough_low = 0;
}

// Adds `d` exactly, or leaves the exact range and returns false.
bool AddExact(SumState& s, Decimal d) {
  if (d.decimals > s.decimals) {
    Int128 rescaled = 0;
    if (__builtin_mul_overflow(
            s.exact, kPowersOfTen[static_cast<std::size_t>(d.decimals - s.decimals)], &rescaled)) {
      return false;
    }
    s.exact = rescaled;
    s.decimals = d.decimals;
  }
  Int128 term = 0;
  if (__builtin_mul_overflow(
          d.mantissa, kPowersOfTen[static_cast<std::size_t>(s.decimals - d.decimals)], &term)) {
    return false;
  }
  return !__builtin_add_overflow(s.exact, term, &s.exact);
}

void AddDecimal(SumState& s, std::optional<Decimal> d, long double value) {
  if (!s.inexact && d && AddExact(s, *d)) return;
  if (!s.inexact) LeaveExactRange(s);
  AddRough(s, value);
}

void Add(SumState& s, sqlite3_value* arg, bool subtract) {
  if (sqlite3_value_numeric_type(arg) == SQLITE_INTEGER) {
    const std::int64_t v = sqlite3_value_int64(arg);
    if (subtract) {
      // As SQLite's own: the integer total wraps when taking back, it never fails then.
      s.integer = static_cast<std::int64_t>(static_cast<std::uint64_t>(s.integer) -
                                            static_cast<std::uint64_t>(v));
    } else if (!s.approximate && !s.overflow && __builtin_add_overflow(s.integer, v, &s.integer)) {
      s.approximate = s.overflow = true;
    }
    const Int128 signed_v = subtract ? -static_cast<Int128>(v) : static_cast<Int128>(v);
    AddDecimal(s, Decimal{signed_v, 0}, static_cast<long double>(signed_v));
    return;
  }
  // REAL, or TEXT and BLOB by their numeric prefix, as SQLite reads them.
  const double v = subtract ? -sqlite3_value_double(arg) : sqlite3_value_double(arg);
  if (!subtract) s.approximate = true;
  AddDecimal(s, DecimalOf(v), v);
}

// SQLite's aggregate memory is only 8-byte aligned and the 128-bit total needs 16: ask for
// room to spare and align within it. The block is the same at every call of one group.
SumState* StateOf(sqlite3_context* context, bool create) {
  constexpr std::size_t kRoom = sizeof(SumState) + alignof(SumState);
  void* block = sqlite3_aggregate_context(context, create ? static_cast<int>(kRoom) : 0);
  if (!block) return nullptr;
  std::size_t space = kRoom;
  return static_cast<SumState*>(std::align(alignof(SumState), sizeof(SumState), block, space));
}

void Step(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  SumState* s = StateOf(context, true);
  if (!s) return sqlite3_result_error_nomem(context);
  ++s->count;
  Add(*s, argv[0], false);
}

void Inverse(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  SumState* s = StateOf(context, true);
  if (!s) return sqlite3_result_error_nomem(context);
  --s->count;
  Add(*s, argv[0], true);
}

// The double nearest mantissa * 10^-decimals: from_chars rounds correctly.
double NearestDouble(Int128 mantissa, int decimals) {
  UInt128 magnitude =
      mantissa < 0 ? -static_cast<UInt128>(mantissa) : static_cast<UInt128>(mantissa);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  const std::string text = (mantissa < 0 ? "-" : "") + digits + "e-" + std::to_string(decimals);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

void Result(sqlite3_context* context) {
  const SumState* s = StateOf(context, false);
  if (!s || s->count <= 0) return sqlite3_result_null(context);
  if (s->overflow) return sqlite3_result_error(context, "integer overflow", -1);
  if (!s->approximate) return sqlite3_result_int64(context, s->integer);
  if (s->inexact) {
    return sqlite3_result_double(context, static_cast<double>(s->rough + s->rough_low));
  }
  sqlite3_result_double(context, NearestDouble(s->exact, s->decimals));
}

}  // namespace

void RegisterExactSum(sqlite3* db) {
  const int rc = sqlite3_create_window_function(
      db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, &Step, &Result,
      &Result, &Inverse, nullptr);
  if (rc != SQLITE_OK) ThrowSqliteError(db);
}

}  // namespace rilo::db::sqlite
