' Arguments as VBScript passes them: a date, Chinese text, a variable for StartInterval (by
' reference), and StartInterval left out. The server runs on a virtual clock, so the order of
' the events shows the schedule: summaries at 25 s and 50 s, the reminder at one minute, the
' next summary at 75 s.
Dim order, reminders, summaries

Set s = WScript.CreateObject("RiloServer.ClsRiloSever", "s_")
interval = 25000
s.StartServer Today() + TimeSerial(9, 30, 0), " 中心店 ", WScript.Arg("settings"), interval
WScript.Check interval = 25000, "StartInterval is not written back: " & interval
StartWait
Do While Len(order) < 4 And StillWaiting(20000): Loop
WScript.Check Left(order, 4) = "SSTS", "summaries at 25 s and 50 s, the reminder at 60 s: " & order
WScript.DisconnectObject s
Set s = Nothing

' Left out, StartInterval is 0: reminders every minute, never a summary.
order = ""
Set s = WScript.CreateObject("RiloServer.ClsRiloSever", "s_")
s.StartServer Today(), "中心店", WScript.Arg("settings")
StartWait
Do While reminders < 3 And StillWaiting(20000): Loop
WScript.Check Left(order, 2) = "TT", "reminders without a summary: " & order
WScript.Check InStr(order, "S") = 0, "no summary without StartInterval: " & order
WScript.DisconnectObject s
Set s = Nothing
WScript.Check WScript.WaitForServerExit(10000), "the last release ends the server"

Sub s_ServerStart(str)
  If str = WScript.Arg("summary") Then order = order & "S" Else order = order & "?"
End Sub
Sub s_TipsStart(str)
  order = order & "T"
  reminders = reminders + 1
End Sub
