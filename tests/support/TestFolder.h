// Test helper: a fresh folder of the test's own under the build's test folder, removed
// afterwards.
#pragma once

#include <filesystem>
#include <system_error>

namespace rilo::testing {

class TestFolder {
 public:
  /// `relative` names the folder below the build's test folder; anything left there by an
  /// earlier run is removed first.
  explicit TestFolder(const std::filesystem::path& relative)
      : path_(std::filesystem::absolute(std::filesystem::path(RILO_TEST_TMPDIR) / relative)
                  .lexically_normal()) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace rilo::testing
