#include "DemoCommand.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "DemoDisplay.h"
#include "LogLevelOption.h"
#include "SignalFd.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/SampleChain.h"
#include "rilo/ServerThread.h"

namespace rilo::host {
namespace {

std::filesystem::path MakeFreshFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rilo-demo-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot create a temporary folder");
  }
  return pattern;
}

void PrintIntroduction(const schema::SampleChain& chain, const std::string& store,
                       AutomationDate date, const DemoOptions& options) {
  fmt::print(
      "Sample chain created in {0} ({1}.db: the head office with sales and appointments; "
      "{2}.db: the store's copy of the master tables, out of date until the refresh).\n"
      "Server started for store {3}, business date {4}. Watch for:\n"
      "  - the takings every {5} s (ServerStart), the first after {5} s\n"
      "  - the master-data refresh from {1} into {2} after about 2 s (TipsUpdate)\n"
      "  - an appointment reminder once a minute (TipsStart), the first at 1:00\n"
      "  - the progress ticker every 10 ms (WorkProcess)\n",
      chain.dir.string(), chain.main_database, chain.local_database, store, FormatDate(date),
      options.interval_s);
  if (options.seconds > 0) {
    fmt::print("The demo ends by itself after {} s; Ctrl-C ends it sooner.\n\n", options.seconds);
  } else {
    fmt::print("The demo runs until Ctrl-C.\n\n");
  }
  std::fflush(stdout);
}

}  // namespace

CLI::App* AddDemoCommand(CLI::App& app, DemoOptions& options) {
  CLI::App* command = app.add_subcommand(
      "demo",
      "Create a sample store chain on the embedded engine and run a server on it, showing "
      "every kind of event. Ends by itself after --seconds.");
  command->add_option("--dir", options.dir,
                      "Folder for the sample databases (default: a fresh temporary folder)");
  command->add_option("--interval", options.interval_s, "Seconds between takings summaries")
      ->check(CLI::Range(0.01, 86400.0))
      ->capture_default_str();
  command->add_option("--seconds", options.seconds, "How long to run (0: until Ctrl-C)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  command->add_option("--store", options.store, "Store to serve (default: the chain's first)");
  AddLogLevelOption(*command, options.log_level);
  return command;
}

int RunDemo(const DemoOptions& options) {
  SignalFd signals({SIGINT, SIGTERM});

  schema::SampleChainOptions chain_options;
  chain_options.dir = options.dir.empty() ? MakeFreshFolder() : std::filesystem::path(options.dir);
  const schema::SampleChain chain = schema::CreateSampleChain(chain_options);
  const std::string store = options.store.empty() ? chain_options.stores.front() : options.store;
  const AutomationDate date = chain_options.business_date;

  ServerThreadOptions thread_options;
  thread_options.diagnostics = MakeDiagnostics(options.log_level);
  auto display = std::make_shared<DemoDisplay>(stdout, isatty(STDOUT_FILENO) == 1);
  const auto started = std::chrono::steady_clock::now();
  {
    auto server = ClsRiloSever::Create(ServerThread::Start(std::move(thread_options)));
    const auto cookie = server->Connect(display);
    PrintIntroduction(chain, store, date, options);
    const auto interval_ms = static_cast<std::int32_t>(std::lround(options.interval_s * 1000));
    server->StartServer(date, store, chain.settings_string, interval_ms);
    server->StartUpdate(chain.settings_string, kVariantTrue, store);
    server->StartRun();

    signals.Wait(options.seconds > 0 ? options.seconds * 1000 : -1);
    server->Disconnect(cookie);
  }  // the server, then its thread, go here
  display->Finish(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started));
  fmt::print("The sample databases stay in {} for you to look at.\n", chain.dir.string());
  return 0;
}

}  // namespace rilo::host
