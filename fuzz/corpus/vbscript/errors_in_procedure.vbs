' An error in a procedure without a handler goes to the caller's handler;
' the failing call statement is skipped, the next one runs.
Function Fails()
  Fails = 1
  x = 1 / 0
  Fails = 2
End Function
Sub Handles()
  On Error Resume Next
  v = Fails()
  WScript.Echo "in Handles:", Err.Number, IsEmpty(v)
End Sub
Handles
WScript.Echo "after Handles"
' Handling is per procedure: the caller's Resume Next does not reach inside
Sub Inner()
  WScript.Echo "inner start"
  Err.Raise 6
  WScript.Echo "inner never continues"
End Sub
On Error Resume Next
Inner
WScript.Echo "caller continues", Err.Number
On Error GoTo 0
Fails
