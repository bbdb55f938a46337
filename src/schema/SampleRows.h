// Rows of the sample chain, table by table, each row as column name and value pairs.
#pragma once

#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "db/Value.h"
#include "schema/SampleModel.h"

namespace rilo::schema {

using SampleRow = std::vector<std::pair<std::string_view, db::Value>>;
using SampleTables = std::map<std::string_view, std::vector<SampleRow>>;

/// Rows for each of the 19 master tables.
SampleTables MasterRows(const SampleModel& model, SampleRandom& random);

/// Sales, membership-card operations and appointments around the business date.
SampleTables BusinessRows(const SampleModel& model, SampleRandom& random);

/// An out-of-date copy of the master rows, as a local database holds it before a refresh:
/// the first half of each table, plus one retired row (ID 9001, its first text marked "（旧）")
/// that the main database no longer has.
SampleTables StaleMasterRows(const SampleTables& master);

}  // namespace rilo::schema
