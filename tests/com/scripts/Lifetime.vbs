' First creation starts the server, a second object is served by the same process and shares
' its database settings, the last release ends the process.
Dim aSummary
WScript.Check WScript.ServerProcesses() = 0, "no server runs before the first creation"
Set a = WScript.CreateObject("RiloServer.ClsRiloSever", "a_")
WScript.Check WScript.ServerProcesses() = 1, "the first creation starts the server"
Set b = WScript.CreateObject("RiloServer.ClsRiloSever", "b_")
WScript.Check WScript.ServerProcesses() = 1, "a second object is served by the same process"

' A's summary reaches no database until B's StartServer stores working settings for both.
a.StartServer Today(), "中心店", WScript.Arg("unreachable"), 25000
b.StartServer Today(), "中心店", WScript.Arg("settings")
StartWait
Do While aSummary = "" And StillWaiting(20000): Loop
WScript.Check aSummary = WScript.Arg("summary"), "A's summary with the settings B stored: " & aSummary

WScript.DisconnectObject a
Set a = Nothing
WScript.Sleep 200
WScript.Check WScript.ServerProcesses() = 1, "the server stays while B lives"
WScript.DisconnectObject b
Set b = Nothing
WScript.Check WScript.WaitForServerExit(10000), "the last release ends the server"

Sub a_ServerStart(str)
  aSummary = str
End Sub
