// Statement text as the driver sends it, made into what the embedded engine runs.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/Value.h"
#include "tds/TdsRpc.h"

namespace rilo::tds {

struct PositionalStatement {
  std::string sql;                // the named markers replaced by '?'
  std::vector<db::Value> values;  // one per '?', in text order
};

/// Replaces each declared parameter name ("@P1", from `declarations` such as
/// "@P1 int,@P2 nvarchar(4000)") outside literals, quoted names and comments with '?', and
/// lists the values in the order the markers appear. Values come by name, else by position.
PositionalStatement ToPositional(std::string_view sql, std::string_view declarations,
                                 std::span<const RpcParameter> values);

/// The statement with each '?' outside literals replaced by the value as a literal.
std::string InlineValues(std::string_view sql, std::span<const db::Value> values);

/// True when text follows a ';' outside literals and comments: a batch of several statements.
bool HasSeveralStatements(std::string_view sql);

/// The statements of a text, split at each ';' outside literals and comments; blank ones left
/// out.
std::vector<std::string> SplitStatements(std::string_view sql);

/// How many '?' markers stand outside literals, quoted names and comments.
std::size_t CountMarkers(std::string_view sql);

/// "SET NOCOUNT ON" (true) or "SET NOCOUNT OFF" (false); nothing for another statement.
std::optional<bool> NoCountSetting(std::string_view sql);

/// Follows the SET IDENTITY_INSERT statements of `sql` in order: `on_table` ends naming the
/// table left ON, or nothing.
void FollowIdentityInsert(std::string_view sql, std::optional<std::string>& on_table);

/// True for "SELECT @@ROWCOUNT".
bool AsksRowCount(std::string_view sql);

/// A linked server added with this server's own address (`address`) reaches this server's
/// databases: the call's data source literal becomes `own_source`. Other text is unchanged.
std::string LinkToSelf(std::string_view sql, std::string_view address, std::string_view own_source);

/// The database of "USE name" (brackets removed); nothing for another statement.
std::optional<std::string> UsedDatabase(std::string_view sql);

/// True when the statement calls `procedure` (EXEC or EXECUTE, any case).
bool CallsProcedure(std::string_view sql, std::string_view procedure);

}  // namespace rilo::tds
