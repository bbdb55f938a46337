// The two messages that open a connection: the pre-login answer and the LOGIN7 request.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rilo::tds {

/// The pre-login answer: version 16.0, encryption not supported (so the login travels in the
/// clear and no TLS is needed), no instance, no MARS.
std::vector<std::uint8_t> PreLoginReply();

struct LoginRequest {
  std::uint32_t tds_version = 0;
  std::uint32_t packet_size = 4096;
  std::string host_name;
  std::string user_name;
  std::string password;
  std::string app_name;
  std::string server_name;
  std::string language;
  std::string database;
};

/// Reads a LOGIN7 payload; throws TdsProtocolError when it cannot be read.
LoginRequest ReadLogin(std::span<const std::uint8_t> payload);

}  // namespace rilo::tds
