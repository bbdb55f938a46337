// A realistic sample chain on the embedded engine: a head-office database with every table
// and sample rows, and a store database with the master tables, for the demo and the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "rilo/automation.h"

namespace rilo::schema {

struct SampleChainOptions {
  std::filesystem::path dir;               // the engine folder; created if missing
  std::string main_database = "HQ";        // DIR/HQ.db: all 22 tables with rows
  std::string local_database = "Store";    // DIR/Store.db: the 19 master tables
  AutomationDate business_date = 46089.0;  // 2026-03-08
  std::vector<std::string> stores = {"中心店", "Riverside", "东城店"};
  int sales_per_store = 40;  // sales rows on the business date per store
  std::uint32_t seed = 1;
  /// Fill the local master tables with an out-of-date copy (half the rows, and a retired row
  /// of ID 9001 whose first text ends in "（旧）"), so that a refresh visibly replaces them;
  /// when false they are empty.
  bool stale_local_rows = true;
};

struct SampleChain {
  std::filesystem::path dir;
  std::string main_database;
  std::string local_database;
  /// The settings string of eight parts for this chain (blank logins).
  std::string settings_string;
};

/// Creates (or recreates) the two database files. The same options give the same rows.
/// Throws std::invalid_argument for unusable names, std::exception on other failures.
SampleChain CreateSampleChain(const SampleChainOptions& options);

/// Creates an empty database file with the 22 tables (or only the 19 master tables), replacing
/// any file of that name.
void CreateEmptyStoreDatabase(const std::filesystem::path& file, bool master_tables_only);

}  // namespace rilo::schema
