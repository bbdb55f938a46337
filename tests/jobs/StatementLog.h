// Test helper: records what the access layer sends, with the virtual time it was sent at, and
// lets a test fail chosen statements as an engine would.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/DbError.h"
#include "db/access/StatementHook.h"
#include "rilo/Clock.h"
#include "support/VirtualServer.h"

namespace rilo::testing {

struct SentStatement {
  db::StatementKind kind;
  std::string text;
  std::chrono::milliseconds at;
};

class StatementLog {
 public:
  /// Watches the connections of `server`'s thread. `fail` (optional) is asked about every
  /// statement; true makes it fail as the engine would.
  explicit StatementLog(VirtualServer& server,
                        std::function<bool(db::StatementKind, std::string_view)> fail = nullptr)
      : clock_(server.clock),
        origin_(clock_->Now()),
        fail_(std::move(fail)),
        hook_(server.statement_hook(),
              [this](db::StatementKind kind, std::string_view text) { Sent(kind, text); }) {}

  /// The texts of one kind, in the order they were sent.
  std::vector<std::string> Texts(db::StatementKind kind) const {
    std::vector<std::string> out;
    for (const auto& s : sent_) {
      if (s.kind == kind) out.push_back(s.text);
    }
    return out;
  }

  /// When statements of one kind were sent, since the log was made.
  std::vector<std::chrono::milliseconds> Times(db::StatementKind kind) const {
    std::vector<std::chrono::milliseconds> out;
    for (const auto& s : sent_) {
      if (s.kind == kind) out.push_back(s.at);
    }
    return out;
  }

  void Clear() { sent_.clear(); }

 private:
  void Sent(db::StatementKind kind, std::string_view text) {
    auto at = std::chrono::duration_cast<std::chrono::milliseconds>(clock_->Now() - origin_);
    sent_.push_back({kind, std::string(text), at});
    if (fail_ && fail_(kind, text)) {
      throw db::DbError(db::DbError::Kind::kEngine, "injected failure", "HY000", 50000);
    }
  }

  std::shared_ptr<Clock> clock_;
  Clock::TimePoint origin_;
  std::function<bool(db::StatementKind, std::string_view)> fail_;
  std::vector<SentStatement> sent_;
  db::ScopedStatementHook hook_;
};

}  // namespace rilo::testing
