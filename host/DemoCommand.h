// `rilo-server demo`: a sample chain on the embedded engine and a server working on it, with
// its events shown for a person to read.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace rilo::host {

struct DemoOptions {
  std::string dir;        // empty: a fresh temporary folder
  double interval_s = 5;  // period of the takings summary
  int seconds = 65;       // 0: until Ctrl-C
  std::string store;      // empty: the chain's first store
  std::string log_level = "off";
};

CLI::App* AddDemoCommand(CLI::App& app, DemoOptions& options);

int RunDemo(const DemoOptions& options);

}  // namespace rilo::host
