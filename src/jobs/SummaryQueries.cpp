#include "jobs/SummaryQueries.h"

#include <stdexcept>

#include "db/ModSQL.h"
#include "db/SqlText.h"
#include "jobs/DateAndStoreFilter.h"
#include "jobs/SqlNameFilter.h"

namespace rilo::jobs {

std::string CategoryColumn(const db::Value& category) {
  if (db::IsNull(category)) throw std::invalid_argument("a service category without a name");
  const std::string name = db::ValueToText(category);
  const std::string alias = SqlNameFilter(name);
  // An empty quoted alias makes the server reject the whole query, and every category's
  // takings with it: leave this one category out instead.
  if (db::IsBlank(alias)) {
    throw std::invalid_argument("service category \"" + name + "\" leaves no column name");
  }
  // Nor can the query's text carry a NUL: the engine would cut the statement there.
  if (name.find('\0') != std::string::npos) {
    throw std::invalid_argument("service category \"" + name.substr(0, name.find('\0')) +
                                "...\" holds a NUL character");
  }
  std::string column =
      "sum(case when (销售类型 ='销售服务' or 销售类型 ='销售计次') and 项目类型= '";
  column += db::EscapeLiteral(name);
  column += "' then 售价 else 0 end) as \"";
  column += db::EscapeQuotedIdentifier(alias);
  column += "\",";
  return column;
}

std::string SummaryQueryTail(std::string_view business_date, std::string_view store) {
  return "sum(case when 销售类型 ='销售商品' then 售价 else 0 end) as 商品销售 From [销售详情] " +
         DateAndStoreFilter("消费日期", "=", business_date, "所属分店", store);
}

std::string MembershipQuery(std::string_view business_date, std::string_view store) {
  return "Select sum(case when 操作类型 ='会员办卡' then 消费金额 else 0 end) as 会员开卡,"
         "sum(case when 操作类型 ='会员续卡' then 消费金额 else 0 end) as 会员续卡 From [会员记录]  " +
         DateAndStoreFilter("办理日期", "=", business_date, "所属分店", store);
}

}  // namespace rilo::jobs
