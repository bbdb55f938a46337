#include <random>

#include "check/Checks.h"
#include "db/DbError.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "refresh/LinkProvider.h"

namespace rilo::check {
namespace {

// SQL Server's "The OLE DB provider "x" has not been registered."
constexpr long kProviderNotRegistered = 7403;

const char* const kRightsCheck = "linked server rights";
const char* const kProviderCheck = "provider reaches main";

std::string TemporaryLinkName() {
  std::random_device random;
  std::uniform_int_distribution<unsigned> digit(0, 15);
  std::string name = "RILO_CHECK_";
  for (int i = 0; i < 8; ++i) name += "0123456789ABCDEF"[digit(random)];
  return name;
}

// A linked server under a name of its own, dropped with its login mappings on every path.
class TemporaryLink {
 public:
  TemporaryLink(Database& local, std::string name) : local_(local), name_(std::move(name)) {}
  ~TemporaryLink() {
    try {
      Drop();
    } catch (...) {
      // Reported by the caller's own Drop; a destructor must not throw.
    }
  }
  TemporaryLink(const TemporaryLink&) = delete;
  TemporaryLink& operator=(const TemporaryLink&) = delete;

  void Add(const refresh::LinkProvider& provider, const std::string& data_source) {
    std::string add = "exec sp_addlinkedserver " + UnicodeLiteral(name_) + " , N'' , " +
                      UnicodeLiteral(provider.name) + " , " + UnicodeLiteral(data_source);
    if (!provider.provider_string.empty()) {
      add += " , null , " + UnicodeLiteral(provider.provider_string);
    }
    // Marked first: a statement that failed half-way may still have registered the name.
    added_ = true;
    local_.Execute(add);
  }

  void MapLogin(const std::string& user, const std::string& password) {
    local_.Execute("exec sp_addlinkedsrvlogin " + UnicodeLiteral(name_) + " , 'false' , null , " +
                   UnicodeLiteral(user) + " , " + UnicodeLiteral(password));
  }

  // The name is a plain identifier, written bare as the refresh writes ITSV.
  void Test() { local_.Execute("exec sp_testlinkedserver " + name_); }

  void Drop() {
    if (!added_) return;
    added_ = false;
    local_.Execute("exec sp_dropserver " + UnicodeLiteral(name_) + " , 'droplogins'");
  }

  const std::string& name() const { return name_; }

 private:
  Database& local_;
  std::string name_;
  bool added_ = false;
};

bool ServerRightsGranted(CheckList& list, Database& local) {
  const db::ResultSet result =
      local.Query("SELECT HAS_PERMS_BY_NAME(NULL, NULL, N'ALTER ANY LINKED SERVER'), "
                  "HAS_PERMS_BY_NAME(NULL, NULL, N'ALTER ANY LOGIN')");
  std::vector<std::string> lacking;
  const char* const rights[] = {"ALTER ANY LINKED SERVER", "ALTER ANY LOGIN"};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto* granted = result.rows.empty() || result.rows[0].size() <= i
                              ? nullptr
                              : std::get_if<std::int64_t>(&result.rows[0][i]);
    if (granted && *granted == 0) lacking.emplace_back(rights[i]);
  }
  if (lacking.empty()) return true;
  std::string grants;
  for (const std::string& right : lacking) {
    grants += "GRANT " + right + " TO " + Bracketed(local.user) + "; ";
  }
  list.Fail(std::string("refresh: ") + kRightsCheck,
            "login '" + local.user + "' lacks " + ListSome(lacking) +
                ": the refresh cannot create ITSV and its login mapping",
            grants + "(in master), or add the login to the server role setupadmin");
  return false;
}

}  // namespace

void CheckLinkedServer(CheckList& list, Database& local, const db::DbSettings& settings,
                       const std::string& forced_provider) {
  const std::string rights = std::string("refresh: ") + kRightsCheck;
  const std::string reach = std::string("refresh: ") + kProviderCheck;
  if (local.embedded) {
    list.NotApplicable(rights, "the embedded engine has no logins");
    if (db::IsEmbeddedDataSource(settings.MainServer)) {
      list.NotApplicable(reach, "the embedded engine links to the main folder directly");
    } else {
      list.Fail(reach, "the embedded engine links only to embedded folders, and the main server "
                       "is '" + settings.MainServer + "'",
                "put both databases on the same kind of engine");
    }
    return;
  }
  bool rights_granted = false;
  if (!list.Guard(rights, "", [&] { rights_granted = ServerRightsGranted(list, local); })) {
    list.Skip(reach, "the linked-server rights could not be checked");
    return;
  }
  if (!rights_granted) {
    list.Skip(reach, "needs a temporary link, which this login may not create");
    return;
  }
  refresh::LinkProvider provider;
  TemporaryLink link(local, TemporaryLinkName());
  const std::string rights_fix = "GRANT ALTER ANY LINKED SERVER, ALTER ANY LOGIN TO " +
                                 Bracketed(local.user) + ", or add it to setupadmin";
  const bool linked = list.Guard(rights, rights_fix, [&] {
    provider = refresh::ChooseLinkProvider(local.connection.session(), forced_provider);
    link.Add(provider, settings.MainServer);
    link.MapLogin(settings.MainUser, settings.MainPassword);
  });
  if (!linked) {
    list.Skip(reach, "no temporary link could be made");
    return;
  }
  // Rights first in the list, though the link is dropped only after the test.
  CheckResult reached{reach, CheckOutcome::kPassed, {}, {}};
  try {
    link.Test();
    reached.reason = "through " + provider.name + ", logged in as '" + settings.MainUser +
                     "' on '" + settings.MainServer + "'";
  } catch (const db::DbError& e) {
    reached.outcome = CheckOutcome::kFailed;
    reached.reason = e.what();
    if (e.native_code() == kProviderNotRegistered) {
      reached.reason = "the local SQL Server lacks the OLE DB provider " + provider.name + ": " +
                       e.what();
      reached.fix = "install Microsoft OLE DB Driver for SQL Server (MSOLEDBSQL) on the local "
                    "server, or name an installed provider with --link-provider";
    } else {
      reached.fix = "check that the local SQL Server reaches '" + settings.MainServer +
                    "' and that login '" + settings.MainUser + "' may log in there";
    }
  }
  if (list.Guard(rights, "drop it by hand: exec sp_dropserver N'" + link.name() +
                             "', 'droplogins'",
                 [&] { link.Drop(); })) {
    list.Pass(rights, "login '" + local.user + "' created and dropped a linked server and its "
                      "login mapping");
  }
  if (reached.outcome == CheckOutcome::kPassed) {
    list.Pass(reached.name, reached.reason);
  } else {
    list.Fail(reached.name, reached.reason, reached.fix);
  }
}

}  // namespace rilo::check
