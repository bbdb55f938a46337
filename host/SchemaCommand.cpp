#include "SchemaCommand.h"

#include <fmt/format.h>

#include <cstdio>

#include "rilo/StoreSchema.h"

namespace rilo::host {

CLI::App* AddSchemaCommand(CLI::App& app, SchemaOptions& options) {
  CLI::App* command =
      app.add_subcommand("schema", "Print the statements that create the store tables");
  command
      ->add_option("--engine", options.engine,
                   "sqlite: the embedded engine; mssql: SQL Server (a script with GO lines)")
      ->required()
      ->check(CLI::IsMember({"sqlite", "mssql"}));
  return command;
}

int RunSchema(const SchemaOptions& options) {
  const auto engine =
      options.engine == "mssql" ? schema::Engine::kSqlServer : schema::Engine::kSqlite;
  fmt::print("{}", schema::StoreTablesScript(engine));
  std::fflush(stdout);
  return std::ferror(stdout) ? 1 : 0;
}

}  // namespace rilo::host
