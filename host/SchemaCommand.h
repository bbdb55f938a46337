// `rilo-server schema`: the DDL of the store tables, for setting up a database by hand.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace rilo::host {

struct SchemaOptions {
  std::string engine;  // "sqlite" or "mssql"
};

CLI::App* AddSchemaCommand(CLI::App& app, SchemaOptions& options);

int RunSchema(const SchemaOptions& options);

}  // namespace rilo::host
