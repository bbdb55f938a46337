#include "refresh/RefreshJob.h"

#include <chrono>

#include "component/Instance.h"
#include "component/JobRun.h"
#include "refresh/RefreshMasterData.h"

namespace rilo::refresh {
namespace {

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
  component::RunTimerJob(self, component::kRefreshJob, [&](component::JobRun& run) {
    VariantBool result = kVariantFalse;
    if (self.RefreshEnabled == kVariantTrue) {
      if (refresh_under_way) {
        run.HoldBack("hold back behind the refresh under way");
        return;
      }
      run.Step("RefreshMasterData", [&] {
        const RefreshUnderWay guard;
        result = RefreshMasterData(self, self.StoreName) ? kVariantTrue : kVariantFalse;
      });
    } else {
      result = kVariantTrue;
      run.Step("yield", [&] { self.Yield(); });
      run.Step("pause", [&] { self.Sleep(kFlagOffPause); });
    }

    // Listeners get the run's own variable; nothing reads it afterwards.
    run.NoteFlag(result);
    run.RaiseEvent("raise TipsUpdate", [&] {
      self.RaiseTipsUpdate(result);
      return true;
    });
  });
}

}  // namespace rilo::refresh
