// The host program's units that the tests use directly, compiled into the test binary (the
// program's main() stays out).
#include "../../host/DemoDisplay.cpp"
#include "../../host/JsonEventListener.cpp"
#include "../../host/JsonProtocol.cpp"
#include "../../host/LineSplitter.cpp"
#include "../../host/LineWriter.cpp"
