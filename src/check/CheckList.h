// The results of a preflight run as they are gathered, with the one rule for a check that
// throws: it fails with the database's message, passwords hidden.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rilo/Preflight.h"

namespace rilo::check {

class CheckList {
 public:
  /// `secrets` never appear in a reason or fix: each is replaced by "***".
  explicit CheckList(std::vector<std::string> secrets);

  void Pass(std::string name, std::string reason);
  void Fail(std::string name, std::string reason, std::string fix);
  void NotApplicable(std::string name, std::string reason);
  void Skip(std::string name, std::string reason);

  /// Runs `check`; if it throws, the check `name` fails with what it threw and `fix`.
  /// Returns false when it threw.
  bool Guard(const std::string& name, std::string_view fix, const std::function<void()>& check);

  std::vector<CheckResult> Take() { return std::move(results_); }

 private:
  void Add(std::string name, CheckOutcome outcome, std::string reason, std::string fix);
  std::string Hidden(std::string text) const;

  std::vector<std::string> secrets_;
  std::vector<CheckResult> results_;
};

/// "a, b, c and 4 more": at most `shown` items of `items`.
std::string ListSome(const std::vector<std::string>& items, std::size_t shown = 8);

}  // namespace rilo::check
