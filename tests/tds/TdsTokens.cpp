#include "tds/TdsTokens.h"

#include <array>

#include "tds/TdsColumns.h"

namespace rilo::tds {
namespace {

constexpr std::uint8_t kIntN = 0x26;
constexpr std::uint16_t kNullableFlags = 0x0001 | 0x0008;

}  // namespace

void WriteEnvChange(TdsWriter& out, std::uint8_t type, std::string_view new_value,
                    std::string_view old_value) {
  out.U8(static_cast<std::uint8_t>(Token::kEnvChange));
  const std::size_t length_at = out.size();
  out.U16(0);
  out.U8(type);
  out.BVarchar(new_value);
  out.BVarchar(old_value);
  out.PatchLength16(length_at);
}

void WriteCollationChange(TdsWriter& out) {
  out.U8(static_cast<std::uint8_t>(Token::kEnvChange));
  out.U16(1 + 1 + kServerCollation.size() + 1);
  out.U8(envchange::kCollation);
  out.U8(kServerCollation.size());
  out.Bytes(kServerCollation);
  out.U8(0);
}

void WriteTransactionChange(TdsWriter& out, std::uint8_t type, std::uint64_t descriptor) {
  out.U8(static_cast<std::uint8_t>(Token::kEnvChange));
  out.U16(1 + 1 + 8 + 1);
  out.U8(type);
  if (type == envchange::kBeginTransaction) {
    out.U8(8);
    out.U64(descriptor);
    out.U8(0);
  } else {
    out.U8(0);
    out.U8(8);
    out.U64(descriptor);
  }
}

void WriteLoginAck(TdsWriter& out) {
  out.U8(static_cast<std::uint8_t>(Token::kLoginAck));
  const std::size_t length_at = out.size();
  out.U16(0);
  out.U8(1);  // T-SQL interface
  const std::array<std::uint8_t, 4> tds74 = {0x74, 0x00, 0x00, 0x04};
  out.Bytes(tds74);
  out.BVarchar("Microsoft SQL Server");
  const std::array<std::uint8_t, 4> version = {16, 0, 0x03, 0xE8};
  out.Bytes(version);
  out.PatchLength16(length_at);
}

void WriteDone(TdsWriter& out, Token token, std::uint16_t status, std::uint16_t command,
               std::optional<std::int64_t> row_count) {
  out.U8(static_cast<std::uint8_t>(token));
  out.U16(static_cast<std::uint16_t>(status | (row_count ? done::kCount : 0)));
  out.U16(command);
  out.U64(static_cast<std::uint64_t>(row_count.value_or(0)));
}

void MarkFinal(TdsWriter& out) {
  constexpr std::size_t kDoneSize = 13;
  if (out.size() < kDoneSize) return;
  const std::size_t at = out.size() - kDoneSize;
  const std::uint8_t token = out.at(at);
  if (token == static_cast<std::uint8_t>(Token::kDone) ||
      token == static_cast<std::uint8_t>(Token::kDoneProc) ||
      token == static_cast<std::uint8_t>(Token::kDoneInProc)) {
    out.at(at + 1) = static_cast<std::uint8_t>(out.at(at + 1) & ~done::kMore);
  }
}

void WriteMessage(TdsWriter& out, Token token, const TdsErrorInfo& error) {
  out.U8(static_cast<std::uint8_t>(token));
  const std::size_t length_at = out.size();
  out.U16(0);
  out.U32(static_cast<std::uint32_t>(error.number));
  out.U8(error.state);
  out.U8(error.severity);
  out.UsVarchar(error.message);
  out.BVarchar("RILOTDS");
  out.BVarchar(error.procedure);
  out.U32(1);  // line number
  out.PatchLength16(length_at);
}

void WriteReturnStatus(TdsWriter& out, std::int32_t status) {
  out.U8(static_cast<std::uint8_t>(Token::kReturnStatus));
  out.U32(static_cast<std::uint32_t>(status));
}

void WriteIntReturnValue(TdsWriter& out, std::uint16_t ordinal, std::string_view name,
                         std::int32_t value) {
  out.U8(static_cast<std::uint8_t>(Token::kReturnValue));
  out.U16(ordinal);
  out.BVarchar(name);
  out.U8(0x01);  // an output parameter
  out.U32(0);    // user type
  out.U16(kNullableFlags);
  out.U8(kIntN);
  out.U8(4);
  out.U8(4);
  out.U32(static_cast<std::uint32_t>(value));
}

}  // namespace rilo::tds
