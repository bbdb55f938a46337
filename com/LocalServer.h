// RiloServer.exe serving as COM started it: every object on one server thread.
#pragma once

#include "rilo/ServerThread.h"

namespace rilo::com {

/// Serves the class until its last object is released; returns the process's exit code.
int RunLocalServer(ServerThreadOptions options);

}  // namespace rilo::com
