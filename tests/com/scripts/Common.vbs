' Shared by the test scripts: bounded waits that serve the server's event calls meanwhile.
Dim waitedMs
Sub StartWait()
  waitedMs = 0
End Sub
Function StillWaiting(limitMs)
  WScript.Sleep 10
  waitedMs = waitedMs + 10
  StillWaiting = waitedMs < limitMs
End Function
Function Today()
  Today = DateSerial(2026, 3, 8)
End Function
