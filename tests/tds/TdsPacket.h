// Framing: a message travels as packets of an eight-byte header (type, status with the
// end-of-message bit, big-endian length, spid, packet number, window) and a payload.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace rilo::tds {

enum class PacketType : std::uint8_t {
  kSqlBatch = 0x01,
  kRpc = 0x03,
  kReply = 0x04,
  kAttention = 0x06,
  kTransactionManager = 0x0E,
  kLogin7 = 0x10,
  kPreLogin = 0x12,
};

struct TdsMessage {
  std::uint8_t type = 0;
  std::vector<std::uint8_t> payload;
};

/// The next whole message from `fd`; nothing when the peer closed the connection. Throws
/// TdsProtocolError for a header that cannot be right.
std::optional<TdsMessage> ReadMessage(int fd);

/// Sends `payload` as one message split into packets of at most `packet_size` bytes. False
/// when the connection is gone.
bool WriteMessage(int fd, PacketType type, std::span<const std::uint8_t> payload,
                  std::size_t packet_size);

}  // namespace rilo::tds
