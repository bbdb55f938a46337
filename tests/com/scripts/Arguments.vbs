' Arguments as VBScript passes them: a date, Chinese text, a variable for StartInterval (by
' reference), and StartInterval left out. The server runs on a virtual clock, so the order of
' the events shows the schedule: summaries at 25 s and 50 s, the reminder at one minute, the
' next summary at 75 s.
Dim order, leftOut

Set s = WScript.CreateObject("RiloServer.ClsRiloSever", "s_")
interval = 25000
s.StartServer Today() + TimeSerial(9, 30, 0), " 中心店 ", WScript.Arg("settings"), interval
WScript.Check interval = 25000, "StartInterval is not written back: " & interval
StartWait
Do While Len(order) < 4 And StillWaiting(20000): Loop
WScript.Check Left(order, 4) = "SSTS", "summaries at 25 s and 50 s, the reminder at 60 s: " & order
WScript.DisconnectObject s
Set s = Nothing

' Left out, StartInterval is 0: reminders every minute, never a summary. The second object has
' handlers of its own: an event of the first one still in flight when it was disconnected may yet
' arrive, and must not count here.
Set t = WScript.CreateObject("RiloServer.ClsRiloSever", "t_")
t.StartServer Today(), "中心店", WScript.Arg("settings")
StartWait
Do While Len(leftOut) < 3 And StillWaiting(20000): Loop
WScript.Check Left(leftOut, 2) = "TT", "reminders without a summary: " & leftOut
WScript.Check InStr(leftOut, "S") = 0, "no summary without StartInterval: " & leftOut
WScript.DisconnectObject t
Set t = Nothing
WScript.Check WScript.WaitForServerExit(10000), "the last release ends the server"

Sub s_ServerStart(str)
  If str = WScript.Arg("summary") Then order = order & "S" Else order = order & "?"
End Sub
Sub s_TipsStart(str)
  order = order & "T"
End Sub
Sub t_ServerStart(str)
  leftOut = leftOut & "S"
End Sub
Sub t_TipsStart(str)
  leftOut = leftOut & "T"
End Sub
