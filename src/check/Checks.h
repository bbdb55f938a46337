// The checks of a preflight run, one file each. Every check adds its results to the list and
// changes no data: probes that would write run in a transaction that is rolled back.
#pragma once

#include <string>
#include <vector>

#include "check/CheckList.h"
#include "check/Database.h"
#include "db/ModSQL.h"

namespace rilo::check {

/// Opens the database and names the server's version. Leaves `database` unreached on failure.
void CheckConnect(CheckList& list, Database& database);

/// The tables the jobs use there (all 22 on main, the 19 master tables on local): missing
/// tables, missing columns and columns of the wrong kind. Fills database.columns.
void CheckTables(CheckList& list, Database& database, bool master_tables_only);

/// SQL Server: whether the database's code page holds `names` where a text column is not
/// Unicode.
void CheckCollation(CheckList& list, Database& database, const std::vector<std::string>& names);

/// The store name and every service category of main: the texts the columns must hold.
std::vector<std::string> NamesToHold(Database& main, const std::string& store);

/// The summary and the reminder: the main login reads their tables and updates 服务预约.
void CheckJobRights(CheckList& list, Database& main);

/// The store name is one that 店铺信息 of main holds.
void CheckStoreName(CheckList& list, Database& main, const std::string& store);

/// The refresh's rights on the local master tables: read, delete, insert.
void CheckMasterTableRights(CheckList& list, Database& local);

/// SET IDENTITY_INSERT on every master table of local.
void CheckIdentityInsert(CheckList& list, Database& local);

/// No ITSV on the local server that names another main server.
void CheckItsvFree(CheckList& list, Database& local, const db::DbSettings& settings);

/// The local login may create and drop a linked server and its login mapping, and the
/// provider the refresh would choose (`forced_provider` unless empty) reaches the main server:
/// tried through a link under a name of its own, dropped on every path.
void CheckLinkedServer(CheckList& list, Database& local, const db::DbSettings& settings,
                       const std::string& forced_provider);

}  // namespace rilo::check
