#include "tds/TdsRpc.h"

#include <array>
#include <bit>
#include <string>

#include "tds/TdsReader.h"

namespace rilo::tds {
namespace {

constexpr std::uint16_t kLongLength = 0xFFFF;
constexpr std::uint64_t kPlpNull = ~std::uint64_t{0};

// Days since 0001-01-01 -> civil date (proleptic Gregorian).
CalendarDateTime DateFromDays(std::int64_t days_since_0001) {
  const std::int64_t z = days_since_0001 - 719162 + 719468;  // shift to days since 0000-03-01
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  CalendarDateTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

void SetTimeOfDay(CalendarDateTime& t, std::uint64_t milliseconds) {
  t.hour = static_cast<int>(milliseconds / 3'600'000);
  t.minute = static_cast<int>(milliseconds / 60'000 % 60);
  t.second = static_cast<int>(milliseconds / 1000 % 60);
  t.millisecond = static_cast<int>(milliseconds % 1000);
}

std::string DecimalText(bool negative, std::span<const std::uint8_t> magnitude, int scale) {
  std::vector<std::uint8_t> number(magnitude.begin(), magnitude.end());
  std::string digits;
  const auto is_zero = [&] {
    for (auto b : number) {
      if (b) return false;
    }
    return true;
  };
  while (!is_zero()) {
    unsigned remainder = 0;
    for (std::size_t i = number.size(); i-- > 0;) {
      const unsigned current = (remainder << 8) | number[i];
      number[i] = static_cast<std::uint8_t>(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  }
  if (digits.size() <= static_cast<std::size_t>(scale)) {
    digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
  }
  if (scale > 0) digits.insert(digits.size() - static_cast<std::size_t>(scale), ".");
  return negative ? "-" + digits : digits;
}

std::string ReadPlpText(TdsReader& in, bool* is_null) {
  const std::uint64_t total = in.U64();
  *is_null = total == kPlpNull;
  std::string text;
  if (*is_null) return text;
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t chunk = in.U32(); chunk != 0; chunk = in.U32()) {
    const auto part = in.Take(chunk);
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  TdsReader whole(bytes);
  return whole.Utf16(bytes.size() / 2);
}

std::int64_t SignedLittle(std::span<const std::uint8_t> bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) v = (v << 8) | bytes[i];
  const unsigned bits = static_cast<unsigned>(bytes.size() * 8);
  if (bits < 64 && (v >> (bits - 1)) != 0) v |= ~std::uint64_t{0} << bits;
  return static_cast<std::int64_t>(v);
}

db::Value ReadFixedLength(TdsReader& in, std::uint8_t type, std::size_t length) {
  switch (type) {
    case 0x26:  // INTN
    case 0x30:
    case 0x34:
    case 0x38:
    case 0x7F: {
      const auto bytes = in.Take(length);
      if (length == 1) return std::int64_t{bytes[0]};  // tinyint is unsigned
      return SignedLittle(bytes);
    }
    case 0x68:  // BITN
    case 0x32:
      return std::int64_t{in.U8() != 0 ? 1 : 0};
    case 0x6D:  // FLTN
    case 0x3E:
    case 0x3B:
      if (length == 4) return static_cast<double>(std::bit_cast<float>(in.U32()));
      return std::bit_cast<double>(in.U64());
    case 0x6F:  // DATETIMN
    case 0x3D:
    case 0x3A: {
      CalendarDateTime t;
      if (length == 4) {
        t = DateFromDays(in.U16() + 693595);
        SetTimeOfDay(t, std::uint64_t{in.U16()} * 60'000);
      } else {
        t = DateFromDays(static_cast<std::int32_t>(in.U32()) + 693595);
        SetTimeOfDay(t, (std::uint64_t{in.U32()} * 10 + 1) / 3);
      }
      return t;
    }
    case 0x6E:  // MONEYN
    case 0x3C:
    case 0x7A: {
      std::int64_t units = 0;
      if (length == 4) {
        units = static_cast<std::int32_t>(in.U32());
      } else {
        const std::uint64_t high = in.U32();
        units = static_cast<std::int64_t>((high << 32) | in.U32());
      }
      const bool negative = units < 0;
      const std::uint64_t magnitude =
          negative ? ~static_cast<std::uint64_t>(units) + 1 : static_cast<std::uint64_t>(units);
      std::array<std::uint8_t, 8> bytes{};
      for (std::size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(magnitude >> (8 * i));
      return db::Decimal{DecimalText(negative, bytes, 4)};
    }
    default:
      throw TdsProtocolError("parameter type " + std::to_string(type) + " is not read");
  }
}

db::Value ReadValue(TdsReader& in) {
  const std::uint8_t type = in.U8();
  switch (type) {
    case 0x1F:  // NULLTYPE
      return db::Null{};
    case 0x30:
      return ReadFixedLength(in, type, 1);
    case 0x34:
      return ReadFixedLength(in, type, 2);
    case 0x38:
      return ReadFixedLength(in, type, 4);
    case 0x7F:
      return ReadFixedLength(in, type, 8);
    case 0x32:
      return ReadFixedLength(in, type, 1);
    case 0x3E:
    case 0x3D:
    case 0x3C:
      return ReadFixedLength(in, type, 8);
    case 0x26:
    case 0x68:
    case 0x6D:
    case 0x6F:
    case 0x6E: {
      in.U8();  // the type's length
      const std::uint8_t length = in.U8();
      if (length == 0) return db::Null{};
      return ReadFixedLength(in, type, length);
    }
    case 0x6A:  // DECIMALN
    case 0x6C: {
      in.U8();
      in.U8();  // precision
      const std::uint8_t scale = in.U8();
      const std::uint8_t length = in.U8();
      if (length == 0) return db::Null{};
      const bool positive = in.U8() != 0;
      return db::Decimal{DecimalText(!positive, in.Take(length - 1u), scale)};
    }
    case 0x28:    // DATEN
    case 0x2A: {  // DATETIME2N
      const std::uint8_t scale = type == 0x2A ? in.U8() : 0;
      const std::uint8_t length = in.U8();
      if (length == 0) return db::Null{};
      std::uint64_t units = 0;
      if (type == 0x2A) {
        const auto time = in.Take(length - 3u);
        for (std::size_t i = time.size(); i-- > 0;) units = (units << 8) | time[i];
      }
      const auto date = in.Take(3);
      CalendarDateTime t = DateFromDays(date[0] | (date[1] << 8) | (date[2] << 16));
      std::uint64_t per_millisecond = 1;
      for (int i = 3; i < scale; ++i) per_millisecond *= 10;
      std::uint64_t milliseconds = units;
      if (scale >= 3) {
        milliseconds = units / per_millisecond;
      } else {
        for (int i = scale; i < 3; ++i) milliseconds *= 10;
      }
      SetTimeOfDay(t, milliseconds);
      return t;
    }
    case 0xE7:    // NVARCHAR
    case 0xEF:    // NCHAR
    case 0xA7:    // VARCHAR
    case 0xAF: {  // CHAR
      const std::uint16_t max_length = in.U16();
      in.Skip(5);  // collation
      const bool wide = type == 0xE7 || type == 0xEF;
      bool is_null = false;
      std::string text;
      if (max_length == kLongLength) {
        text = ReadPlpText(in, &is_null);
      } else {
        const std::uint16_t length = in.U16();
        is_null = length == 0xFFFF;
        if (!is_null && wide) text = in.Utf16(length / 2u);
        if (!is_null && !wide) {
          const auto raw = in.Take(length);
          text.assign(raw.begin(), raw.end());
        }
      }
      if (is_null) return db::Null{};
      return text;
    }
    case 0x63:    // NTEXT
    case 0x23: {  // TEXT
      in.U32();
      in.Skip(5);  // collation
      const std::uint32_t length = in.U32();
      if (length == 0xFFFFFFFF) return db::Null{};
      if (type == 0x63) return in.Utf16(length / 2u);
      const auto raw = in.Take(length);
      return std::string(raw.begin(), raw.end());
    }
    case 0xA5:  // VARBINARY
    case 0xAD: {
      in.U16();
      const std::uint16_t length = in.U16();
      if (length == 0xFFFF) return db::Null{};
      const auto raw = in.Take(length);
      return std::string(raw.begin(), raw.end());
    }
    default:
      throw TdsProtocolError("parameter type " + std::to_string(type) + " is not read");
  }
}

}  // namespace

std::size_t SkipAllHeaders(std::span<const std::uint8_t> payload) {
  TdsReader in(payload);
  const std::uint32_t total = in.U32();
  if (total < 4 || total > payload.size()) throw TdsProtocolError("bad ALL_HEADERS length");
  return total;
}

std::vector<RpcRequest> ReadRpcRequests(std::span<const std::uint8_t> payload) {
  TdsReader in(payload.subspan(SkipAllHeaders(payload)));
  std::vector<RpcRequest> requests;
  while (!in.AtEnd()) {
    RpcRequest request;
    const std::uint16_t name_length = in.U16();
    if (name_length == 0xFFFF) {
      request.procedure_id = in.U16();
    } else {
      request.name = in.Utf16(name_length);
    }
    in.U16();  // option flags
    // Parameters run to the end, or to the batch separator before the next call.
    while (!in.AtEnd()) {
      const std::size_t at = in.position();
      const std::uint8_t first = in.U8();
      if (first == 0x80 || first == 0xFF || first == 0xFE) break;
      in.Seek(at);
      RpcParameter parameter;
      parameter.name = in.BVarchar();
      parameter.output = (in.U8() & 0x01) != 0;
      const std::size_t value_at = in.position();
      parameter.datetime2 = in.U8() == 0x2A;
      in.Seek(value_at);
      parameter.value = ReadValue(in);
      request.parameters.push_back(std::move(parameter));
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

}  // namespace rilo::tds
