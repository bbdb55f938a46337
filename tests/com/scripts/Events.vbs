' Every event from the sample chain through the script engine's own event binding.
Dim summary, tip, updated, ticks, count

Set s = WScript.CreateObject("RiloServer.ClsRiloSever", "s_")
s.StartServer Today(), "中心店", WScript.Arg("settings"), 1000
StartWait
Do While (summary = "" Or tip = "") And StillWaiting(20000): Loop
WScript.Check summary = WScript.Arg("summary"), "ServerStart: " & summary
WScript.Check UBound(Split(tip, "‖")) = 4, "TipsStart has five lines: " & tip

s.StartUpdate WScript.Arg("settings"), True, "中心店"
StartWait
Do While IsEmpty(updated) And StillWaiting(20000): Loop
WScript.Check updated = True, "TipsUpdate: " & updated

s.StartRun
StartWait
Do While count < 40 And StillWaiting(20000): Loop
expected = ""
For i = 0 To 39
  expected = expected & ((i Mod 37) * 10) & ","
Next
WScript.Check ticks = expected, "WorkProcess: " & ticks

WScript.DisconnectObject s
Set s = Nothing
WScript.Check WScript.WaitForServerExit(10000), "the last release ends the server"

Sub s_ServerStart(str)
  If summary = "" Then summary = str
End Sub
Sub s_TipsStart(str)
  If tip = "" Then tip = str
End Sub
Sub s_TipsUpdate(pd)
  updated = pd
End Sub
Sub s_WorkProcess(index)
  If count < 40 Then
    ticks = ticks & index & ","
    count = count + 1
  End If
End Sub
