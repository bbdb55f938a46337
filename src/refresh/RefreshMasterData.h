// RefreshMasterData: empties the 19 local master tables and refills them from the main
// database through the linked server ITSV, all or nothing.
#pragma once

#include <string>

namespace rilo::component {
class Instance;
}

namespace rilo::refresh {

/// Links, runs the refresh statements one Execute each on one local connection (a yield
/// and a 1 ms pause after each), unlinks. True when every statement ran and was committed;
/// false at the first failure, after which the local master tables are as they were before
/// the call and ITSV has been dropped. Only a failure inside the closing steps of the
/// failure path itself passes to the caller.
bool RefreshMasterData(component::Instance& self, std::string storeName);

}  // namespace rilo::refresh
