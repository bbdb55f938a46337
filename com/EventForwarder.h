// The C++ events of one ClsRiloSever passed on to the sinks of its automation object, as
// by-reference automation arguments: a copy for ServerStart, TipsStart and TipsUpdate (what
// a sink writes is dropped), the counter itself for WorkProcess (what a sink writes stays).
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstdint>
#include <string>

#include "rilo/ClsRiloSever.h"

namespace rilo::com {

class ClsRiloSeverObject;

class EventForwarder final : public ClsRiloSeverEvents {
 public:
  explicit EventForwarder(ClsRiloSeverObject& owner) : owner_(&owner) {}

  /// The object is going: no event goes anywhere from now on.
  void Detach() { owner_ = nullptr; }

  void ServerStart(std::string& str) override;
  void TipsUpdate(VariantBool& Pd) override;
  void WorkProcess(std::int32_t& index) override;
  void TipsStart(std::string& str) override;

 private:
  void RaiseText(DISPID id, const std::string& text);
  /// Raises event `id` with `arg`; the object stays alive meanwhile, whatever sinks release.
  void Raise(DISPID id, VARIANT& arg);

  ClsRiloSeverObject* owner_;
};

}  // namespace rilo::com
