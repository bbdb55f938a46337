// The response tokens this server sends around a result: login, environment changes, messages,
// procedure outcomes and the DONE family.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tds/TdsWriter.h"

namespace rilo::tds {

enum class Token : std::uint8_t {
  kReturnStatus = 0x79,
  kColumnMetadata = 0x81,
  kError = 0xAA,
  kInfo = 0xAB,
  kReturnValue = 0xAC,
  kLoginAck = 0xAD,
  kRow = 0xD1,
  kEnvChange = 0xE3,
  kDone = 0xFD,
  kDoneProc = 0xFE,
  kDoneInProc = 0xFF,
};

namespace done {
inline constexpr std::uint16_t kFinal = 0x0000;
inline constexpr std::uint16_t kMore = 0x0001;
inline constexpr std::uint16_t kError = 0x0002;
inline constexpr std::uint16_t kCount = 0x0010;
inline constexpr std::uint16_t kAttention = 0x0020;
}  // namespace done

namespace envchange {
inline constexpr std::uint8_t kDatabase = 1;
inline constexpr std::uint8_t kLanguage = 2;
inline constexpr std::uint8_t kPacketSize = 4;
inline constexpr std::uint8_t kCollation = 7;
inline constexpr std::uint8_t kBeginTransaction = 8;
inline constexpr std::uint8_t kCommitTransaction = 9;
inline constexpr std::uint8_t kRollbackTransaction = 10;
}  // namespace envchange

struct TdsErrorInfo {
  long number = 0;
  std::uint8_t state = 1;
  std::uint8_t severity = 16;
  std::string message;
  std::string procedure;
};

void WriteEnvChange(TdsWriter& out, std::uint8_t type, std::string_view new_value,
                    std::string_view old_value);
void WriteCollationChange(TdsWriter& out);
/// Begin, commit or rollback of a transaction, carrying its eight-byte descriptor.
void WriteTransactionChange(TdsWriter& out, std::uint8_t type, std::uint64_t descriptor);
void WriteLoginAck(TdsWriter& out);
void WriteDone(TdsWriter& out, Token token, std::uint16_t status, std::uint16_t command,
               std::optional<std::int64_t> row_count);
/// Marks the response's last DONE-type token as the final one; every response ends with one.
void MarkFinal(TdsWriter& out);
void WriteMessage(TdsWriter& out, Token token, const TdsErrorInfo& error);
void WriteReturnStatus(TdsWriter& out, std::int32_t status);
/// An output parameter of type int, e.g. the handle of a prepared statement.
void WriteIntReturnValue(TdsWriter& out, std::uint16_t ordinal, std::string_view name,
                         std::int32_t value);

}  // namespace rilo::tds
