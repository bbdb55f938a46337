#include "tds/TdsCodePage.h"

#include <iconv.h>

#include <stdexcept>
#include <vector>

#include "db/DbError.h"
#include "db/sql/Tokenizer.h"

namespace rilo::tds {
namespace {

std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  return 2;
}

// One character per call, so the caller learns which characters the code page lacks.
class CodePage {
 public:
  explicit CodePage(Collation collation)
      : cd_(iconv_open(collation == Collation::kLatin1 ? "CP1252" : "GBK", "UTF-8")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~CodePage() { iconv_close(cd_); }
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  bool Holds(std::string_view character) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char out[8];
    char* in_at = const_cast<char*>(character.data());
    std::size_t in_left = character.size();
    char* out_at = out;
    std::size_t out_left = sizeof out;
    return iconv(cd_, &in_at, &in_left, &out_at, &out_left) != static_cast<std::size_t>(-1) &&
           in_left == 0;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string NarrowLiterals(std::string_view sql, Collation collation) {
  std::vector<db::sql::Token> tokens;
  try {
    tokens = db::sql::Tokenize(sql);
  } catch (const db::DbError&) {
    return std::string(sql);  // running it reports the unclosed literal
  }
  CodePage code_page(collation);
  std::string out;
  for (const db::sql::Token& token : tokens) {
    if (token.kind != db::sql::TokenKind::kString || token.text.front() != '\'') {
      out += token.text;
      continue;
    }
    for (std::size_t i = 0; i < token.text.size();) {
      const std::size_t length =
          std::min(Utf8Length(static_cast<unsigned char>(token.text[i])), token.text.size() - i);
      const std::string_view character = token.text.substr(i, length);
      out += code_page.Holds(character) ? std::string(character) : std::string("?");
      i += length;
    }
  }
  return out;
}

}  // namespace rilo::tds
