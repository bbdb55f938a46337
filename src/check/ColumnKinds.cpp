#include "check/ColumnKinds.h"

#include <string>

#include "db/AsciiCase.h"

namespace rilo::check {
namespace {

bool Has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

ColumnKind KindOfDeclaredType(std::string_view declared) {
  std::string type = db::AsciiLower(declared);
  if (const auto paren = type.find('('); paren != std::string::npos) type.resize(paren);
  while (!type.empty() && type.back() == ' ') type.pop_back();
  if (type == "time") return ColumnKind::kTime;
  if (Has(type, "date")) return ColumnKind::kDateTime;  // date, datetime, datetime2, ...
  if (Has(type, "char") || Has(type, "text") || Has(type, "clob")) return ColumnKind::kText;
  for (std::string_view number : {"int", "dec", "numeric", "money", "real", "float", "double",
                                  "bit"}) {
    if (Has(type, number)) return ColumnKind::kNumber;
  }
  return ColumnKind::kOther;
}

bool Serves(ColumnKind kind, schema::ColumnType expected) {
  using enum schema::ColumnType;
  switch (expected) {
    case kKey:
    case kMoney:
    case kRate:
    case kInteger:
    case kFlag:
      return kind == ColumnKind::kNumber;
    case kText:
    case kLongText:
      return kind == ColumnKind::kText;
    case kDateTime:
      return kind == ColumnKind::kDateTime;
    case kTime:  // the embedded engine keeps a time of day as 'HH:MM' text
      return kind == ColumnKind::kTime || kind == ColumnKind::kText ||
             kind == ColumnKind::kDateTime;
  }
  return false;
}

std::string_view KindName(schema::ColumnType expected) {
  using enum schema::ColumnType;
  switch (expected) {
    case kKey:
    case kInteger:
    case kFlag:
    case kMoney:
    case kRate:
      return "a number";
    case kText:
    case kLongText:
      return "text";
    case kDateTime:
      return "a date-time";
    case kTime:
      return "a time of day";
  }
  return "?";
}

bool IsCodePageText(std::string_view declared) {
  const std::string type = db::AsciiLower(declared);
  return type.starts_with("char") || type.starts_with("varchar") || type == "text";
}

}  // namespace rilo::check
