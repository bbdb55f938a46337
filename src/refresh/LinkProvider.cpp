#include "refresh/LinkProvider.h"

#include <utility>
#include <variant>

#include "db/AsciiCase.h"
#include "db/DbError.h"
#include "db/Engine.h"

namespace rilo::refresh {
namespace {

constexpr int kFirstWithoutNativeClient = 16;
// Driver 19 encrypts and checks the certificate by default; 18 does neither. Both read these
// two words, so the link behaves the same under either: encrypted, the main server's own
// (usually self-signed) certificate accepted.
constexpr std::string_view kModernProviderString = "Encrypt=yes;TrustServerCertificate=yes";

bool IsModern(std::string_view name) { return db::AsciiUpper(name).starts_with("MSOLEDBSQL"); }

LinkProvider Named(std::string name) {
  LinkProvider provider{std::move(name), {}};
  if (IsModern(provider.name)) provider.provider_string = kModernProviderString;
  return provider;
}

}  // namespace

LinkProvider ProviderForVersion(std::optional<int> major_version) {
  return Named(major_version && *major_version >= kFirstWithoutNativeClient ? "MSOLEDBSQL"
                                                                           : "SQLOLEDB");
}

LinkProvider ChooseLinkProvider(db::Session& local, const std::string& forced) {
  if (!forced.empty()) return Named(forced);
  // A server that cannot say (before 2012, or not SQL Server at all) gets SQLOLEDB.
  db::ResultSet result;
  try {
    result = local.Query("SELECT CAST(SERVERPROPERTY('ProductMajorVersion') AS int)");
  } catch (const db::DbError&) {
  }
  std::optional<int> version;
  if (!result.rows.empty() && !result.rows[0].empty()) {
    if (const auto* number = std::get_if<std::int64_t>(&result.rows[0][0])) {
      version = static_cast<int>(*number);
    }
  }
  return ProviderForVersion(version);
}

}  // namespace rilo::refresh
