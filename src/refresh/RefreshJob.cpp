#include "refresh/RefreshJob.h"

#include <chrono>
#include <memory>

#include "component/FailureRule.h"
#include "component/Instance.h"
#include "refresh/RefreshMasterData.h"

namespace rilo::refresh {
namespace {

constexpr std::string_view kWhere = "refresh job";
constexpr std::chrono::milliseconds kFlagOffPause{2500};

// ITSV is one name per local server, and every instance on a server thread shares one
// DbSettings record: a refresh of another instance nested in this one's yields would drop
// the link under it. A run that finds one under way is held back by one period instead.
thread_local bool refresh_under_way = false;

class RefreshUnderWay {
 public:
  RefreshUnderWay() { refresh_under_way = true; }
  ~RefreshUnderWay() { refresh_under_way = false; }
  RefreshUnderWay(const RefreshUnderWay&) = delete;
  RefreshUnderWay& operator=(const RefreshUnderWay&) = delete;
};

}  // namespace

void RunRefreshJob(component::Instance& self) {
  const std::shared_ptr<component::Instance> hold = self.weak_from_this().lock();
  const component::ServerContext& context = self.context();
  VariantBool result = kVariantFalse;

  component::RunStep(context, kWhere, "disable oTimer2", [&] { self.oTimer2.SetEnabled(false); });

  if (self.RefreshEnabled == kVariantTrue) {
    if (refresh_under_way) {
      component::RunStep(context, kWhere, "hold back behind the refresh under way",
                         [&] { self.oTimer2.SetEnabled(true); });
      return;
    }
    component::RunStep(context, kWhere, "RefreshMasterData", [&] {
      const RefreshUnderWay guard;
      result = RefreshMasterData(self, self.StoreName) ? kVariantTrue : kVariantFalse;
    });
  } else {
    result = kVariantTrue;
    component::RunStep(context, kWhere, "yield", [&] { self.Yield(); });
    component::RunStep(context, kWhere, "pause", [&] { self.Sleep(kFlagOffPause); });
  }

  // Listeners get the run's own variable; nothing reads it afterwards.
  component::RunStep(context, kWhere, "raise TipsUpdate", [&] { self.RaiseTipsUpdate(result); });
}

}  // namespace rilo::refresh
