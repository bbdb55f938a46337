// Shows the events of the demo as a person wants to read them: the takings as a small table,
// one line per reminder and per refresh, and the progress ticker as a spinner on a terminal
// (as an occasional plain line otherwise).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "rilo/ClsRiloSever.h"

namespace rilo::host {

struct SummaryPair {
  std::string name;
  std::string value;
};

/// Splits the text of ServerStart into its name/value pairs.
std::vector<SummaryPair> SplitPairList(std::string_view str);

/// The columns a terminal gives `utf8`: two for East Asian wide characters, one otherwise.
std::size_t DisplayWidth(std::string_view utf8);

/// The pairs as table rows, names left and amounts right aligned, under a heading row.
std::vector<std::string> FormatTakingsTable(const std::vector<SummaryPair>& pairs);

/// The text of TipsStart on one line, its parts set apart.
std::string FormatReminder(std::string_view str);

class DemoDisplay final : public ClsRiloSeverEvents {
 public:
  /// `terminal`: `out` is a terminal, so the ticker may redraw a spinner in place.
  DemoDisplay(std::FILE* out, bool terminal);

  void ServerStart(std::string& str) override;
  void TipsUpdate(VariantBool& Pd) override;
  void WorkProcess(std::int32_t& index) override;
  void TipsStart(std::string& str) override;

  /// A line of the demo's own, stamped like the events.
  void Note(std::string_view text);

  /// Clears the spinner and prints what was seen. Call once the server has been released.
  void Finish(std::chrono::seconds ran_for);

  struct Counts {
    int summaries = 0;
    int reminders = 0;
    int refreshes = 0;
    int failed_refreshes = 0;
    long ticks = 0;
  };
  Counts counts() const;

 private:
  void Print(std::string_view text);  // mutex_ held
  std::string Stamp() const;

  std::FILE* out_;
  const bool terminal_;
  const std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
  bool spinner_shown_ = false;
  std::string last_summary_;
  Counts counts_;
};

}  // namespace rilo::host
