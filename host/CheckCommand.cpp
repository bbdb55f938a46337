#include "CheckCommand.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "rilo/Preflight.h"

namespace rilo::host {
namespace {

constexpr int kUsageError = 2;

// The settings string: the whole input, one line, its line end dropped. Nothing (and a
// message) when it cannot be read or is not one line.
std::optional<std::string> ReadSettings(const std::string& file) {
  std::string text;
  if (file.empty()) {
    if (isatty(STDIN_FILENO)) {
      fmt::print(stderr, "Settings string (one line, then Enter and Ctrl-D):\n");
    }
    text.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      fmt::print(stderr, "rilo-server check: cannot read the settings file '{}'\n", file);
      return std::nullopt;
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (text.ends_with('\n')) text.pop_back();
  if (text.ends_with('\r')) text.pop_back();
  if (text.find('\n') != std::string::npos) {
    fmt::print(stderr, "rilo-server check: the settings string must be one line\n");
    return std::nullopt;
  }
  if (text.empty()) {
    fmt::print(stderr, "rilo-server check: the settings string is empty\n");
    return std::nullopt;
  }
  return text;
}

std::string_view OutcomeName(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::kPassed: return "passed";
    case CheckOutcome::kFailed: return "failed";
    case CheckOutcome::kNotApplicable: return "not applicable";
    case CheckOutcome::kSkipped: return "skipped";
  }
  return "?";
}

std::string_view Mark(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::kPassed: return "✓";
    case CheckOutcome::kFailed: return "✗";
    case CheckOutcome::kNotApplicable:
    case CheckOutcome::kSkipped: return "-";
  }
  return "?";
}

void PrintText(const std::vector<CheckResult>& results) {
  std::size_t counts[4] = {};
  for (const CheckResult& r : results) {
    ++counts[static_cast<int>(r.outcome)];
    std::string line = fmt::format("{} {}: ", Mark(r.outcome), r.name);
    if (r.outcome == CheckOutcome::kNotApplicable) line += "does not apply: ";
    if (r.outcome == CheckOutcome::kSkipped) line += "not run: ";
    line += r.reason;
    fmt::print("{}\n", line);
    if (!r.fix.empty()) fmt::print("    fix: {}\n", r.fix);
  }
  fmt::print("{} passed, {} failed, {} not applicable, {} not run\n", counts[0], counts[1],
             counts[2], counts[3]);
}

void PrintJson(const std::vector<CheckResult>& results) {
  nlohmann::json checks = nlohmann::json::array();
  for (const CheckResult& r : results) {
    nlohmann::json check = {{"name", r.name}, {"result", OutcomeName(r.outcome)},
                            {"reason", r.reason}};
    if (!r.fix.empty()) check["fix"] = r.fix;
    checks.push_back(std::move(check));
  }
  const nlohmann::json document = {{"passed", AllPassed(results)}, {"checks", std::move(checks)}};
  // A database's message in another encoding must not cost the whole document.
  fmt::print("{}\n", document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options) {
  CLI::App* command = app.add_subcommand(
      "check",
      "Check a store's settings before it goes live: both databases, their tables and "
      "collation, the logins' rights, the refresh's linked server and the store name. Changes "
      "no data. The settings string is read from --settings-file or standard input, never from "
      "the command line, so its passwords stay out of the process list. Exit code 0 when all "
      "pass, 1 when one fails, 2 on bad usage.");
  command
      ->add_option("--settings-file", options.settings_file,
                   "File holding the settings string (one line, parts separated by U+FF5C); "
                   "default: standard input")
      ->check(CLI::ExistingFile);
  command->add_option("--store", options.store, "The store's name, as the host passes it")
      ->required();
  command->add_flag("--json", options.json, "Print the results as one JSON document");
  AddOdbcOptions(*command, options.odbc);
  return command;
}

int RunCheck(const CheckOptions& options) {
  const std::optional<std::string> settings = ReadSettings(options.settings_file);
  if (!settings) return kUsageError;
  const std::vector<CheckResult> results = RunPreflight({*settings, options.store, options.odbc});
  if (options.json) {
    PrintJson(results);
  } else {
    PrintText(results);
  }
  std::fflush(stdout);
  if (std::ferror(stdout)) return 1;
  return AllPassed(results) ? 0 : 1;
}

}  // namespace rilo::host
