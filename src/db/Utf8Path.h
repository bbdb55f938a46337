// File names travel through this server as UTF-8 (connection strings, SQLite's own API).
// On Windows a std::filesystem::path is UTF-16 and its narrow form is the ANSI code page,
// which cannot hold every name, so conversions go through these two, never through
// path(std::string) or path::string().
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace rilo::db {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace rilo::db
