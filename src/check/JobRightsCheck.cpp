#include "check/Checks.h"
#include "check/Permissions.h"

namespace rilo::check {
namespace {

// What the summary and the reminder read and write on main.
const std::vector<TablePermission>& JobPermissions() {
  static const std::vector<TablePermission> wanted = {
      {"服务类别", "SELECT"}, {"销售详情", "SELECT"}, {"会员记录", "SELECT"},
      {"服务预约", "SELECT"}, {"员工信息", "SELECT"}, {"服务预约", "UPDATE"},
  };
  return wanted;
}

constexpr std::string_view kReminderWrite =
    "UPDATE [服务预约] SET [预约提醒] = [预约提醒] WHERE 1 = 0";

}  // namespace

void CheckJobRights(CheckList& list, Database& main) {
  const std::string name = main.Check("summary and reminder rights");
  if (!main.HasTable("服务预约")) {
    list.Skip(name, "服务预约 is missing (see the tables check)");
    return;
  }
  const std::string write_fix =
      "make " + main.server + "/" + main.name + ".db writable for the user that runs the server";
  if (main.embedded) {
    if (!list.Guard(name, write_fix, [&] { TryWrite(main, kReminderWrite); })) return;
  } else {
    std::vector<TablePermission> refused;
    std::string read_only;
    if (!list.Guard(name, "", [&] {
          refused = RefusedTablePermissions(main, JobPermissions());
          read_only = ReadOnlyState(main);
        })) {
      return;
    }
    if (!read_only.empty()) {
      list.Fail(name, "database '" + main.name + "' is read-only: the reminder cannot mark "
                      "an appointment as reminded",
                "ALTER DATABASE [" + main.name + "] SET READ_WRITE");
      return;
    }
    if (!refused.empty()) {
      list.Fail(name, "login '" + main.user + "' lacks " + DescribeRefused(refused),
                GrantsFor(refused, main.user));
      return;
    }
  }
  // The reminder writes its mark back through the row's key.
  std::vector<std::string> keys;
  if (!list.Guard(name, "", [&] { keys = main.connection.session().PrimaryKeyColumns("服务预约"); }))
    return;
  if (keys.empty()) {
    list.Fail(name, "服务预约 has no primary key: the reminder cannot find the row to mark",
              "ALTER TABLE [服务预约] ADD PRIMARY KEY ([ID])");
    return;
  }
  list.Pass(name, main.embedded
                      ? "服务预约 can be updated"
                      : "login '" + main.user + "' reads the summary's and reminder's tables "
                        "and updates 服务预约");
}

}  // namespace rilo::check
