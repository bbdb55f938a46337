// The JSON-lines protocol of `rilo-server serve`: one call per input line, one event, return
// or error per output line. Parsing validates every field, so a bad line changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "rilo/automation.h"

namespace rilo::host {

/// The instance a call goes to when the line names none.
inline constexpr std::string_view kDefaultInstance = "1";

struct StartServerCall {
  AutomationDate MyDate = 0;
  std::string MyDpName;
  std::string MySetStr;
  std::int32_t StartInterval = 0;
};

struct StartUpdateCall {
  std::string MySetStr;
  VariantBool GetNetwork = kVariantFalse;  // as received: true is -1, false is 0
  std::string MyDpName;
};

struct StartRunCall {};

/// Lets go of the instance: its timers stop and no event of it follows.
struct ReleaseCall {};

/// Asks for the state of the instance's jobs; answered with one status line.
struct StatusCall {};

using CallArgs =
    std::variant<StartServerCall, StartUpdateCall, StartRunCall, ReleaseCall, StatusCall>;

struct Call {
  std::string instance{kDefaultInstance};
  CallArgs args;

  /// The name the line gave in "call".
  std::string_view Name() const;
};

/// Why a line is not a call, in words meant for the person writing the host.
struct ProtocolError {
  std::string message;
};

/// Parses one input line (without its line break). Never throws.
std::variant<Call, ProtocolError> ParseCall(std::string_view line);

// Encoders: one JSON object as text, without the line break. Text that is not valid UTF-8 is
// written with U+FFFD in place of the bad bytes, so every output line stays valid JSON.
std::string EncodeServerStart(std::string_view instance, std::string_view str);
std::string EncodeTipsUpdate(std::string_view instance, VariantBool Pd);
std::string EncodeWorkProcess(std::string_view instance, std::int32_t index);
std::string EncodeTipsStart(std::string_view instance, std::string_view str);
std::string EncodeReturn(std::string_view call, std::string_view instance);
std::string EncodeError(std::string_view message, std::uint64_t line_number);

}  // namespace rilo::host
