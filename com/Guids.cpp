// The GUIDs of the type library, defined once for the whole program.
#include <initguid.h>

#include "RiloServer.h"
