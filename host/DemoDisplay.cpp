#include "DemoDisplay.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <utility>

namespace rilo::host {
namespace {

constexpr std::string_view kPairSeparator = "\xEF\xBD\x9C";   // U+FF5C, between pairs
constexpr std::string_view kValueSeparator = "\xE2\x80\x96";  // U+2016, name from value
constexpr long kPlainTickLineEvery = 1000;                    // about every ten seconds

struct WideRange {
  char32_t first;
  char32_t last;
};

// East Asian wide and fullwidth blocks: enough to line up Chinese names in a table.
constexpr std::array<WideRange, 12> kWideRanges{{{0x1100, 0x115F},
                                                 {0x2E80, 0x303E},
                                                 {0x3041, 0x33FF},
                                                 {0x3400, 0x4DBF},
                                                 {0x4E00, 0x9FFF},
                                                 {0xA000, 0xA4CF},
                                                 {0xAC00, 0xD7A3},
                                                 {0xF900, 0xFAFF},
                                                 {0xFE30, 0xFE4F},
                                                 {0xFF00, 0xFF60},
                                                 {0xFFE0, 0xFFE6},
                                                 {0x20000, 0x3FFFD}}};

bool IsWide(char32_t c) {
  return std::any_of(kWideRanges.begin(), kWideRanges.end(),
                     [c](const WideRange& r) { return c >= r.first && c <= r.last; });
}

std::string Padded(std::string_view text, std::size_t width, bool right) {
  const std::size_t used = DisplayWidth(text);
  const std::string pad(width > used ? width - used : 0, ' ');
  return right ? pad + std::string(text) : std::string(text) + pad;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from)) {
    result.append(text.substr(0, at)).append(to);
    text.remove_prefix(at + from.size());
  }
  return result.append(text);
}

std::string Counted(long n, std::string_view one, std::string_view many) {
  return fmt::format("{} {}", n, n == 1 ? one : many);
}

}  // namespace

std::vector<SummaryPair> SplitPairList(std::string_view str) {
  std::vector<SummaryPair> pairs;
  if (str.find_first_not_of(' ') == std::string_view::npos) return pairs;
  for (;;) {
    const auto end = str.find(kPairSeparator);
    const std::string_view pair = str.substr(0, end);
    const auto split = pair.find(kValueSeparator);
    if (split == std::string_view::npos) {
      pairs.push_back({std::string(pair), ""});
    } else {
      pairs.push_back({std::string(pair.substr(0, split)),
                       std::string(pair.substr(split + kValueSeparator.size()))});
    }
    if (end == std::string_view::npos) return pairs;
    str.remove_prefix(end + kPairSeparator.size());
  }
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    bool valid = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4 && i + length <= utf8.size());
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // A broken sequence counts one column per byte, as a terminal shows a replacement each.
    if (!valid) {
      ++width;
      ++i;
      continue;
    }
    width += IsWide(c) ? 2 : 1;
    i += length;
  }
  return width;
}

std::vector<std::string> FormatTakingsTable(const std::vector<SummaryPair>& pairs) {
  constexpr std::string_view kNameHeading = "category";
  constexpr std::string_view kValueHeading = "amount";
  std::size_t name_width = kNameHeading.size();
  std::size_t value_width = kValueHeading.size();
  for (const auto& pair : pairs) {
    name_width = std::max(name_width, DisplayWidth(pair.name));
    value_width = std::max(value_width, DisplayWidth(pair.value));
  }
  std::vector<std::string> rows;
  rows.push_back(Padded(kNameHeading, name_width, false) + "  " +
                 Padded(kValueHeading, value_width, true));
  rows.push_back(std::string(name_width, '-') + "  " + std::string(value_width, '-'));
  for (const auto& pair : pairs) {
    rows.push_back(Padded(pair.name, name_width, false) + "  " +
                   Padded(pair.value, value_width, true));
  }
  return rows;
}

std::string FormatReminder(std::string_view str) { return ReplaceAll(str, kValueSeparator, " | "); }

DemoDisplay::DemoDisplay(std::FILE* out, bool terminal)
    : out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

void DemoDisplay::ServerStart(std::string& str) {
  std::lock_guard lock(mutex_);
  ++counts_.summaries;
  // The same table every few seconds would bury the other events.
  if (counts_.summaries > 1 && str == last_summary_) {
    Print(fmt::format("{} Takings of the business date (ServerStart): unchanged", Stamp()));
    return;
  }
  last_summary_ = str;
  Print(fmt::format("{} Takings of the business date (ServerStart):", Stamp()));
  for (const auto& row : FormatTakingsTable(SplitPairList(str))) Print("         " + row);
}

void DemoDisplay::TipsUpdate(VariantBool& Pd) {
  std::lock_guard lock(mutex_);
  ++counts_.refreshes;
  if (Pd != 0) {
    Print(fmt::format("{} Master-data refresh (TipsUpdate): succeeded", Stamp()));
  } else {
    ++counts_.failed_refreshes;
    Print(fmt::format("{} Master-data refresh (TipsUpdate): failed; --log-level error tells why",
                      Stamp()));
  }
}

void DemoDisplay::WorkProcess(std::int32_t& index) {
  std::lock_guard lock(mutex_);
  ++counts_.ticks;
  if (terminal_) {
    static constexpr std::array<char, 4> kFrames{'|', '/', '-', '\\'};
    const auto frame = kFrames[static_cast<std::size_t>(counts_.ticks % 4)];
    fmt::print(out_, "\r{} {} progress ticker (WorkProcess) at {:3}\033[K", Stamp(), frame, index);
    std::fflush(out_);
    spinner_shown_ = true;
  } else if (counts_.ticks == 1) {
    Print(fmt::format("{} Progress ticker (WorkProcess) running: {}, 10, 20, ... 360, 0, ...",
                      Stamp(), index));
  } else if (counts_.ticks % kPlainTickLineEvery == 0) {
    Print(fmt::format("{} Progress ticker (WorkProcess): {} ticks so far", Stamp(), counts_.ticks));
  }
}

void DemoDisplay::TipsStart(std::string& str) {
  std::lock_guard lock(mutex_);
  ++counts_.reminders;
  Print(fmt::format("{} Reminder (TipsStart): {}", Stamp(), FormatReminder(str)));
}

void DemoDisplay::Note(std::string_view text) {
  std::lock_guard lock(mutex_);
  Print(fmt::format("{} {}", Stamp(), text));
}

void DemoDisplay::Finish(std::chrono::seconds ran_for) {
  std::lock_guard lock(mutex_);
  Print(fmt::format("{} Demo over after {} s: {}, {}, {} ({} failed), {}.", Stamp(),
                    ran_for.count(), Counted(counts_.summaries, "summary", "summaries"),
                    Counted(counts_.reminders, "reminder", "reminders"),
                    Counted(counts_.refreshes, "refresh", "refreshes"), counts_.failed_refreshes,
                    Counted(counts_.ticks, "progress tick", "progress ticks")));
}

DemoDisplay::Counts DemoDisplay::counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void DemoDisplay::Print(std::string_view text) {
  if (spinner_shown_) {
    std::fputs("\r\033[K", out_);
    spinner_shown_ = false;
  }
  fmt::print(out_, "{}\n", text);
  std::fflush(out_);
}

std::string DemoDisplay::Stamp() const {
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
  return fmt::format("[{}:{:02}]", elapsed.count() / 60, elapsed.count() % 60);
}

}  // namespace rilo::host
