// Reads the little-endian byte stream of a TDS message. Reading past the end throws
// TdsProtocolError, so a short or garbled message ends its connection, not the test.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace rilo::tds {

class TdsProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TdsReader {
 public:
  explicit TdsReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t U8() { return static_cast<std::uint8_t>(Little(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Little(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Little(4)); }
  std::uint64_t U64() { return Little(8); }
  std::uint16_t U16BigEndian() {
    const std::span<const std::uint8_t> two = Take(2);
    return static_cast<std::uint16_t>((two[0] << 8) | two[1]);
  }
  std::span<const std::uint8_t> Take(std::size_t count);
  void Skip(std::size_t count) { Take(count); }
  /// `units` UTF-16LE code units as UTF-8.
  std::string Utf16(std::size_t units);
  std::string BVarchar() { return Utf16(U8()); }
  std::string UsVarchar() { return Utf16(U16()); }

  std::size_t position() const { return position_; }
  void Seek(std::size_t position);
  bool AtEnd() const { return position_ == bytes_.size(); }
  std::size_t remaining() const { return bytes_.size() - position_; }

 private:
  std::uint64_t Little(int count);

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace rilo::tds
