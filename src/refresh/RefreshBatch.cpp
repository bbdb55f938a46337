#include "refresh/RefreshBatch.h"

#include "db/SqlText.h"
#include "db/StoreTables.h"

namespace rilo::refresh {

std::string DatabasePart(std::string_view mainDatabase) {
  if (mainDatabase.empty() || db::IsPlainIdentifier(mainDatabase)) {
    return std::string(mainDatabase);
  }
  std::string quoted = "[";
  for (char c : mainDatabase) {
    quoted += c;
    if (c == ']') quoted += ']';
  }
  quoted += ']';
  return quoted;
}

std::string StoreFilter(std::string_view storeName) {
  return " Where 所属分店='" + std::string(db::kAllStores) + "' or 所属分店 = '" +
         db::EscapeLiteral(storeName) + "'";
}

std::vector<std::string> BuildDeleteAndCopy(const CopySource& source) {
  std::vector<std::string> batch;
  batch.reserve(76);
  for (std::string_view table : db::MasterTablesInDeletionOrder()) {
    batch.push_back("DELETE FROM " + std::string(table));
  }
  for (const db::MasterTable& table : db::MasterTablesInCopyOrder()) {
    const std::string t(table.name);
    const std::string c(table.columns);
    batch.push_back("SET IDENTITY_INSERT " + t + " ON");
    batch.push_back(" insert into " + t + "(" + c + ") select " + c + " from " + source(table));
    batch.push_back("SET IDENTITY_INSERT " + t + " off");
  }
  return batch;
}

std::vector<std::string> BuildRefreshBatch(std::string_view mainDatabase,
                                           std::string_view storeName) {
  const std::string database = "ITSV." + DatabasePart(mainDatabase) + ".dbo.";
  const std::string filter = StoreFilter(storeName);
  return BuildDeleteAndCopy([&](const db::MasterTable& table) {
    std::string from = database + std::string(table.name);
    if (table.filtered_by_store) from += filter;
    return from;
  });
}

std::string JoinStatements(std::span<const std::string> statements) {
  std::string text;
  for (std::size_t i = 0; i < statements.size(); ++i) {
    if (i > 0) text += "||";
    text += statements[i];
  }
  return text;
}

}  // namespace rilo::refresh
