#include "jobs/PairList.h"

#include "db/ModSQL.h"

namespace rilo::jobs {

std::string WithPair(const std::string& pairs, std::string_view name, const db::Value& value) {
  std::string result = db::IsBlank(pairs) ? std::string() : pairs + std::string(kPairSeparator);
  result += name;
  result += kPairNameSeparator;
  result += db::IsNull(value) ? std::string("0") : db::ValueToText(value);
  return result;
}

}  // namespace rilo::jobs
