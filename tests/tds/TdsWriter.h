// Builds the little-endian byte stream of a TDS message; strings go out as UTF-16LE.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rilo::tds {

class TdsWriter {
 public:
  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) { Little(v, 2); }
  void U32(std::uint32_t v) { Little(v, 4); }
  void U64(std::uint64_t v) { Little(v, 8); }
  void U16BigEndian(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v >> 8));
    U8(static_cast<std::uint8_t>(v));
  }
  void Bytes(std::span<const std::uint8_t> data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }
  /// UTF-8 text as UTF-16LE code units, no length.
  void Utf16(std::string_view utf8);
  /// Text with a one-byte count of UTF-16 units before it.
  void BVarchar(std::string_view utf8);
  /// Text with a two-byte count of UTF-16 units before it.
  void UsVarchar(std::string_view utf8);

  /// Writes a two-byte length at `at`: the bytes written after it.
  void PatchLength16(std::size_t at) {
    const auto length = static_cast<std::uint16_t>(bytes_.size() - at - 2);
    bytes_[at] = static_cast<std::uint8_t>(length);
    bytes_[at + 1] = static_cast<std::uint8_t>(length >> 8);
  }

  std::size_t size() const { return bytes_.size(); }
  std::uint8_t& at(std::size_t i) { return bytes_.at(i); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  void Little(std::uint64_t v, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes_;
};

}  // namespace rilo::tds
