// Reading an RPC request: the procedure (by name or by the number SQL Server gives its own
// procedures) and its parameters, with their values as the engine takes them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/Value.h"

namespace rilo::tds {

namespace procedure {
inline constexpr std::uint16_t kExecuteSql = 10;
inline constexpr std::uint16_t kPrepare = 11;
inline constexpr std::uint16_t kExecute = 12;
inline constexpr std::uint16_t kPrepExec = 13;
inline constexpr std::uint16_t kUnprepare = 15;
}  // namespace procedure

struct RpcParameter {
  std::string name;  // "@P1", or empty when sent by position
  bool output = false;
  db::Value value;
  bool datetime2 = false;  // sent as datetime2: compares exactly, not in datetime's 1/300 s
};

struct RpcRequest {
  std::string name;  // empty when the procedure is given by number
  std::uint16_t procedure_id = 0;
  std::vector<RpcParameter> parameters;
};

/// Reads every call of an RPC message (after its headers); throws TdsProtocolError for a
/// type this server does not read.
std::vector<RpcRequest> ReadRpcRequests(std::span<const std::uint8_t> payload);

/// Moves past the ALL_HEADERS block that starts batch, RPC and transaction messages.
std::size_t SkipAllHeaders(std::span<const std::uint8_t> payload);

}  // namespace rilo::tds
