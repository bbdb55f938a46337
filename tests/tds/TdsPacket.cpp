#include "tds/TdsPacket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "tds/TdsReader.h"

namespace rilo::tds {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::uint8_t kEndOfMessage = 0x01;

// False at end of stream or on a failed read.
bool ReadExactly(int fd, std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    const ssize_t got = ::recv(fd, out, count, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    count -= static_cast<std::size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t count) {
  while (count > 0) {
    const ssize_t sent = ::send(fd, data, count, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    count -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

std::optional<TdsMessage> ReadMessage(int fd) {
  TdsMessage message;
  for (;;) {
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!ReadExactly(fd, header.data(), header.size())) return std::nullopt;
    const std::size_t length = (static_cast<std::size_t>(header[2]) << 8) | header[3];
    if (length < kHeaderSize) throw TdsProtocolError("packet shorter than its header");
    message.type = header[0];
    const std::size_t old_size = message.payload.size();
    message.payload.resize(old_size + length - kHeaderSize);
    if (!ReadExactly(fd, message.payload.data() + old_size, length - kHeaderSize)) {
      return std::nullopt;
    }
    if (header[1] & kEndOfMessage) return message;
  }
}

bool WriteMessage(int fd, PacketType type, std::span<const std::uint8_t> payload,
                  std::size_t packet_size) {
  const std::size_t room = std::max<std::size_t>(packet_size, 512) - kHeaderSize;
  std::uint8_t number = 1;
  std::size_t at = 0;
  do {
    const std::size_t count = std::min(room, payload.size() - at);
    const bool last = at + count == payload.size();
    const std::size_t length = count + kHeaderSize;
    std::vector<std::uint8_t> packet = {static_cast<std::uint8_t>(type),
                                        static_cast<std::uint8_t>(last ? kEndOfMessage : 0),
                                        static_cast<std::uint8_t>(length >> 8),
                                        static_cast<std::uint8_t>(length),
                                        0,
                                        0,
                                        number++,
                                        0};
    packet.insert(packet.end(), payload.begin() + static_cast<std::ptrdiff_t>(at),
                  payload.begin() + static_cast<std::ptrdiff_t>(at + count));
    if (!WriteAll(fd, packet.data(), packet.size())) return false;
    at += count;
  } while (at < payload.size());
  return true;
}

}  // namespace rilo::tds
