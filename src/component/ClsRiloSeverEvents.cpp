#include "rilo/ClsRiloSever.h"

namespace rilo {

// A listener overrides only the events it wants; the others do nothing.
void ClsRiloSeverEvents::ServerStart(std::string&) {}
void ClsRiloSeverEvents::TipsUpdate(VariantBool&) {}
void ClsRiloSeverEvents::WorkProcess(std::int32_t&) {}
void ClsRiloSeverEvents::TipsStart(std::string&) {}

}  // namespace rilo
