#include "tds/TdsLogin.h"

#include "tds/TdsReader.h"
#include "tds/TdsWriter.h"

namespace rilo::tds {
namespace {

constexpr std::uint8_t kVersion = 0x00;
constexpr std::uint8_t kEncryption = 0x01;
constexpr std::uint8_t kInstance = 0x02;
constexpr std::uint8_t kThreadId = 0x03;
constexpr std::uint8_t kMars = 0x04;
constexpr std::uint8_t kTerminator = 0xFF;
constexpr std::uint8_t kEncryptNotSupported = 0x02;

// Offset and length pair of the variable part, read from the fixed part.
std::string ReadField(TdsReader& fixed, std::span<const std::uint8_t> payload) {
  const std::uint16_t offset = fixed.U16();
  const std::uint16_t units = fixed.U16();
  TdsReader at(payload);
  at.Seek(offset);
  return at.Utf16(units);
}

// The client hides its password: each byte has its nibbles swapped and is xored with 0xA5.
std::string ReadPassword(TdsReader& fixed, std::span<const std::uint8_t> payload) {
  const std::uint16_t offset = fixed.U16();
  const std::uint16_t units = fixed.U16();
  TdsReader at(payload);
  at.Seek(offset);
  const std::span<const std::uint8_t> hidden = at.Take(std::size_t{units} * 2);
  std::vector<std::uint8_t> plain;
  plain.reserve(hidden.size());
  for (std::uint8_t byte : hidden) {
    const auto x = static_cast<std::uint8_t>(byte ^ 0xA5);
    plain.push_back(static_cast<std::uint8_t>((x << 4) | (x >> 4)));
  }
  TdsReader text(plain);
  return text.Utf16(units);
}

}  // namespace

std::vector<std::uint8_t> PreLoginReply() {
  struct Option {
    std::uint8_t token;
    std::vector<std::uint8_t> data;
  };
  const std::vector<Option> options = {
      {kVersion, {16, 0, 0x03, 0xE8, 0, 0}},
      {kEncryption, {kEncryptNotSupported}},
      {kInstance, {0}},
      {kThreadId, {}},
      {kMars, {0}},
  };
  TdsWriter out;
  auto offset = static_cast<std::uint16_t>(options.size() * 5 + 1);
  for (const Option& option : options) {
    out.U8(option.token);
    out.U16BigEndian(offset);
    out.U16BigEndian(static_cast<std::uint16_t>(option.data.size()));
    offset = static_cast<std::uint16_t>(offset + option.data.size());
  }
  out.U8(kTerminator);
  for (const Option& option : options) out.Bytes(option.data);
  return out.bytes();
}

LoginRequest ReadLogin(std::span<const std::uint8_t> payload) {
  TdsReader fixed(payload);
  LoginRequest login;
  fixed.U32();  // total length
  login.tds_version = fixed.U32();
  login.packet_size = fixed.U32();
  fixed.Skip(4 + 4 + 4);  // client program version, process id, connection id
  fixed.Skip(4);          // option flags and type flags
  fixed.Skip(4 + 4);      // time zone, LCID
  login.host_name = ReadField(fixed, payload);
  login.user_name = ReadField(fixed, payload);
  login.password = ReadPassword(fixed, payload);
  login.app_name = ReadField(fixed, payload);
  login.server_name = ReadField(fixed, payload);
  fixed.Skip(4);              // extension
  ReadField(fixed, payload);  // client library name
  login.language = ReadField(fixed, payload);
  login.database = ReadField(fixed, payload);
  return login;
}

}  // namespace rilo::tds
