// The part of a refresh from linking to unlinking, entered by one refresh at a time per local
// server, across processes. ITSV is one name per local server: a second refresh that found a
// first one's link would take it for stale and replace it, and one of the two stores would be
// filled from the other's head office.
#pragma once

#include <chrono>
#include <memory>

#include "db/ModSQL.h"

namespace rilo::component {
class Instance;
}

namespace rilo::refresh {

inline constexpr std::chrono::seconds kLinkSectionWait{60};

/// Held for the section; leaving it (destruction) lets the next refresh in. Never throws on
/// destruction.
class LinkSection {
 public:
  virtual ~LinkSection() = default;
};

/// Enters the section for the local server of `settings`. Embedded engine: an exclusive file
/// lock beside the folder's linked-server registry. SQL Server: an exclusive application
/// lock owned by a session of the local server that stays open until the section is left
/// (the server drops it if the process dies). While another refresh holds it, tries again
/// every few milliseconds, letting pending messages run between tries, for at most `limit`.
/// Nothing (and a diagnostic) when the wait ran out or the lock could not be taken.
std::unique_ptr<LinkSection> EnterLinkSection(component::Instance& self,
                                              const db::DbSettings& settings,
                                              std::chrono::milliseconds limit = kLinkSectionWait);

/// Throws DbError unless ITSV on the local server of `settings` names their main server: a
/// refresh must not copy from a link someone else made.
void CheckLinkTarget(component::Instance& self, const db::DbSettings& settings);

}  // namespace rilo::refresh
