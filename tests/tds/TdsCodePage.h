// What a server does to a '...' literal: it is varchar, held in the code page of the
// database's collation, so a character that code page lacks becomes '?'. N'...' is untouched.
#pragma once

#include <string>
#include <string_view>

namespace rilo::tds {

enum class Collation {
  kLatin1,      // SQL_Latin1_General_CP1_CI_AS: code page 1252
  kChinesePrc,  // Chinese_PRC_CI_AS: code page 936 (GBK)
};

/// `sql` with each character of every non-N string literal that `collation`'s code page
/// cannot hold replaced by '?'.
std::string NarrowLiterals(std::string_view sql, Collation collation);

}  // namespace rilo::tds
