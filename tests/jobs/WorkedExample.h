// The summary's worked example: a day at Riverside with rows of other days, stores and kinds
// around it, the queries the job sends for it and the pair list it raises.
#pragma once

#include <string_view>

#include "StoreDatabase.h"

namespace rilo::testing {

inline void FillWorkedExample(StoreDatabase& db) {
  db.AddCategory("Facial");
  db.AddCategory("Body care");
  db.AddCategory("Nails/Hands");
  db.AddSale("销售服务", "Facial", 1000, "2026-03-08 09:15:00", "Riverside");
  db.AddSale("销售计次", "Facial", 280.5, "2026-03-08 17:40:00", "Riverside");
  db.AddSale("销售服务", "Nails/Hands", 300, "2026-03-08 11:00:00", "Riverside");
  db.AddSale("销售商品", "Lotion", 100, "2026-03-08 12:00:00", "Riverside");
  db.AddSale("销售商品", "Mask", 56, "2026-03-08 23:59:59", "Riverside");
  db.AddSale("退货", "Facial", 999, "2026-03-08 10:00:00", "Riverside");  // no kind of ours
  db.AddSale("销售服务", "Body care", 70, "2026-03-07 23:59:59", "Riverside");
  db.AddSale("销售服务", "Body care", 80, "2026-03-09 00:00:00", "Riverside");
  db.AddSale("销售服务", "Facial", 500, "2026-03-08 10:00:00", "中心店");
  db.AddSale("销售商品", "Lotion", 40, "2026-03-08 10:00:00", "Riverside East");
  db.AddMembership("会员办卡", 2000, "2026-03-08 10:30:00", "Riverside");
  db.AddMembership("会员续卡", 500, "2026-03-07 10:30:00", "Riverside");
  db.AddMembership("会员续卡", 800, "2026-03-08 10:30:00", "中心店");
}

inline constexpr std::string_view kWorkedSummaryQuery =
    "Select sum(case when (销售类型 ='销售服务' or 销售类型 ='销售计次') and 项目类型= 'Facial' "
    "then 售价 else 0 end) as \"Facial\",sum(case when (销售类型 ='销售服务' or 销售类型 "
    "='销售计次') and 项目类型= 'Body care' then 售价 else 0 end) as \"Body care\",sum(case when "
    "(销售类型 ='销售服务' or 销售类型 ='销售计次') and 项目类型= 'Nails/Hands' then 售价 else 0 "
    "end) as \"NailsHands\",sum(case when 销售类型 ='销售商品' then 售价 else 0 end) as 商品销售 "
    "From [销售详情] Where CONVERT(varchar(100), 消费日期, 23) = '2026-03-08' and 所属分店 = "
    "'Riverside'";

inline constexpr std::string_view kWorkedMembershipQuery =
    "Select sum(case when 操作类型 ='会员办卡' then 消费金额 else 0 end) as 会员开卡,"
    "sum(case when 操作类型 ='会员续卡' then 消费金额 else 0 end) as 会员续卡 From [会员记录]"
    "  Where CONVERT(varchar(100), 办理日期, 23) = '2026-03-08' and 所属分店 = 'Riverside'";

inline constexpr std::string_view kWorkedPairList =
    "Facial‖1280.5｜Body care‖0｜NailsHands‖300｜商品销售‖156｜会员开卡‖2000｜会员续卡‖0";

}  // namespace rilo::testing
