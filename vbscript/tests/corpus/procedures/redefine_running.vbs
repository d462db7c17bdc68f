' A procedure may replace itself while it runs; the running copy finishes
Function Main()
  ExecuteGlobal "Function Main() : Main = ""new"" : End Function"
  Dim i, s
  For i = 1 To 3
    s = s & i
  Next
  Main = "old " & s
End Function
WScript.Echo Main()
WScript.Echo Main()
