// The one source of chance of the sample chain: the same seed gives the same chain everywhere.
#pragma once

#include <cstdint>
#include <iterator>
#include <random>

namespace rilo::schema {

class SampleRandom {
 public:
  explicit SampleRandom(std::uint32_t seed) : engine_(seed) {}

  /// A number in [0, n). The engine's output is fixed by the standard and the reduction is
  /// plain arithmetic, unlike the library's distributions, whose results may differ.
  int Below(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }

  /// True in `percent` of the calls.
  bool Chance(int percent) { return Below(100) < percent; }

  /// One item of a non-empty array or vector.
  template <typename Items>
  const auto& Pick(const Items& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(std::size(items))))];
  }

 private:
  std::mt19937 engine_;
};

}  // namespace rilo::schema
