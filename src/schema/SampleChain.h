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
  std::string local_database = "Store";    // DIR/Store.db: the 19 master tables, empty
  AutomationDate business_date = 46089.0;  // 2026-03-08
  std::vector<std::string> stores = {"中心店", "Riverside", "东城店"};
  int sales_per_store = 40;                // sales rows on the business date per store
  std::uint32_t seed = 1;
};

struct SampleChain {
  std::filesystem::path dir;
  std::string main_database;
  std::string local_database;
  /// The settings string of eight parts for this chain (blank logins).
  std::string settings_string;
};

/// Creates (or recreates) the two database files. Throws std::exception on failure.
SampleChain CreateSampleChain(const SampleChainOptions& options);

/// Creates an empty database file with the 22 tables (or only the 19 master tables).
void CreateEmptyStoreDatabase(const std::filesystem::path& file, bool master_tables_only);

}  // namespace rilo::schema
