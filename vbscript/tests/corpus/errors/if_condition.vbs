' Under Resume Next an error in an If condition enters the Then block
On Error Resume Next
If 1 / 0 = 5 Then
  WScript.Echo "then block ran", Err.Number
Else
  WScript.Echo "else block ran"
End If
