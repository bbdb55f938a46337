// rilo-server: the server as a program. Parses the command line and hands over to the
// command; every command maps its outcome to the exit code (0 ok, 1 failure, 2 bad usage).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "CheckCommand.h"
#include "DemoCommand.h"
#include "SchemaCommand.h"
#include "ServeCommand.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kRuntimeFailure = 1;

int Run(int argc, char** argv) {
  CLI::App app{"RiloServer: the background automation server of a chain of service stores."};
  app.name("rilo-server");
  app.set_version_flag("--version", "rilo-server " RILO_VERSION);
  app.require_subcommand(1);

  rilo::host::ServeOptions serve_options;
  rilo::host::DemoOptions demo_options;
  rilo::host::SchemaOptions schema_options;
  rilo::host::CheckOptions check_options;
  CLI::App* serve = rilo::host::AddServeCommand(app, serve_options);
  CLI::App* demo = rilo::host::AddDemoCommand(app, demo_options);
  CLI::App* schema = rilo::host::AddSchemaCommand(app, schema_options);
  CLI::App* check = rilo::host::AddCheckCommand(app, check_options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : kUsageError;
  }
  if (serve->parsed()) return rilo::host::RunServe(serve_options);
  if (demo->parsed()) return rilo::host::RunDemo(demo_options);
  if (schema->parsed()) return rilo::host::RunSchema(schema_options);
  if (check->parsed()) return rilo::host::RunCheck(check_options);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "rilo-server: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "rilo-server: unexpected failure\n");
  }
  return kRuntimeFailure;
}
