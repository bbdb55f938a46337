// The statements of a master-data refresh, built as a list: one entry, one Execute. A value
// holding "||" therefore never splits a statement; the joined text is for display only.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rilo::db {
struct MasterTable;
}

namespace rilo::refresh {

/// What a copy reads from, for one table: the text after " from ".
using CopySource = std::function<std::string(const db::MasterTable&)>;

/// The 19 deletions in deletion order, then for each table in copy order: identity on,
/// " insert into t(c) select c from " + source(t), identity off.
std::vector<std::string> BuildDeleteAndCopy(const CopySource& source);

/// The 76 statements: the 19 deletions in deletion order, then for each table in copy order
/// identity on, the copy from ITSV.<mainDatabase>.dbo (for 产品信息 and 服务信息 only the rows
/// of every store and of `storeName`), identity off. Apostrophes in `storeName` are doubled.
std::vector<std::string> BuildRefreshBatch(std::string_view mainDatabase,
                                           std::string_view storeName);

/// `mainDatabase` as the database part of a four-part name: a plain identifier (or nothing)
/// as it stands, any other name bracketed with "]" doubled.
std::string DatabasePart(std::string_view mainDatabase);

/// The store filter of the two store tables, starting with its blank: " Where ...".
std::string StoreFilter(std::string_view storeName);

/// The statements joined by "||", as the batch text is shown.
std::string JoinStatements(std::span<const std::string> statements);

}  // namespace rilo::refresh
