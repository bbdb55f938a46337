// A small script host for the tests: Wine's (or Windows') own VBScript engine driven through
// IActiveScript, with a WScript object that offers what Wine's cscript lacks for event
// clients: CreateObject(progid, prefix) wired to the object's connection point, a Sleep that
// serves incoming calls, and Echo.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace rilo::com::testing {

struct ScriptRun {
  bool ran = false;                   // the engine parsed and ran the script
  std::vector<std::string> echoed;    // each WScript.Echo line
  std::vector<std::string> failures;  // WScript.Check failures and script errors
  int exit_code = 0;                  // WScript.Quit
};

/// Runs `source` (VBScript) on the calling thread, which must be in a single-threaded
/// apartment. The script reads `values` with WScript.Arg(name). Echo lines are also written
/// to standard output.
ScriptRun RunVbScript(const std::string& source, const std::map<std::string, std::string>& values);

}  // namespace rilo::com::testing
