#include "rilo/ClsRiloSever.h"

#include <utility>

#include "api/DiagnosticLine.h"
#include "db/PasswordMask.h"
#include "component/Instance.h"
#include "component/JobRecords.h"
#include "jobs/DailySummaryJob.h"
#include "jobs/ReminderJob.h"
#include "refresh/RefreshJob.h"

namespace rilo {

std::shared_ptr<ClsRiloSever> ClsRiloSever::Create(std::shared_ptr<ServerThread> thread) {
  if (!thread) thread = ServerThread::Default();
  std::shared_ptr<component::Instance> instance;
  thread->Invoke([&] {
    component::JobSet jobs;
    jobs.daily_summary = jobs::RunDailySummaryJob;
    jobs.refresh = refresh::RunRefreshJob;
    jobs.reminder = jobs::RunReminderJob;
    instance = component::Instance::Create(thread->context(), std::move(jobs));
  });
  // make_shared needs a public constructor; this local type lends it ours.
  struct Made : ClsRiloSever {
    Made(std::shared_ptr<ServerThread> t, std::shared_ptr<component::Instance> i)
        : ClsRiloSever(std::move(t), std::move(i)) {}
  };
  return std::make_shared<Made>(std::move(thread), std::move(instance));
}

ClsRiloSever::ClsRiloSever(std::shared_ptr<ServerThread> thread,
                           std::shared_ptr<component::Instance> instance)
    : thread_(std::move(thread)), instance_(std::move(instance)) {}

ClsRiloSever::~ClsRiloSever() {
  // The instance lives on the server thread and must be let go there. A job under way
  // holds its own reference and finishes first.
  try {
    thread_->Invoke([this] {
      instance_->ReleaseFromHost();
      instance_.reset();
    });
  } catch (...) {
    // The server thread is gone with its loop; nothing is left to release.
  }
}

void ClsRiloSever::StartServer(AutomationDate MyDate, const std::string& MyDpName,
                               const std::string& MySetStr, std::int32_t StartInterval) {
  thread_->Invoke([&] { instance_->StartServer(MyDate, MyDpName, MySetStr, StartInterval); });
}

void ClsRiloSever::StartUpdate(const std::string& MySetStr, VariantBool GetNetwork,
                               const std::string& MyDpName) {
  thread_->Invoke([&] { instance_->StartUpdate(MySetStr, GetNetwork, MyDpName); });
}

void ClsRiloSever::StartRun() {
  thread_->Invoke([&] { instance_->StartRun(); });
}

ClsRiloSever::Cookie ClsRiloSever::Connect(std::shared_ptr<ClsRiloSeverEvents> listener) {
  Cookie cookie = 0;
  thread_->Invoke([&] { cookie = instance_->Connect(std::move(listener)); });
  return cookie;
}

void ClsRiloSever::Disconnect(Cookie cookie) {
  thread_->Invoke([&] { instance_->Disconnect(cookie); });
}

JobStatusSnapshot ClsRiloSever::Status() const {
  JobStatusSnapshot snapshot;
  thread_->Invoke([&] { snapshot = component::SnapshotJobStatus(*instance_); });
  // Masked as a diagnostic line is: what Status shows, the log would show.
  for (JobStatus& job : snapshot.jobs) {
    if (!job.last_failure) continue;
    job.last_failure->where = db::MaskPasswords(job.last_failure->where);
    job.last_failure->message = db::MaskPasswords(job.last_failure->message);
  }
  return snapshot;
}

}  // namespace rilo
