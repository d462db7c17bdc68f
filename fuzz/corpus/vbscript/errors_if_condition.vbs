' Under Resume Next an error in an If condition enters the Then block
On Error Resume Next
If 1 / 0 = 5 Then
  WScript.Echo "then block ran", Err.Number
Else
  WScript.Echo "else block ran"
End If
' A loop whose condition fails stops instead of spinning
n = 0
Do While 1 / 0 = 5
  n = n + 1
  If n > 3 Then Exit Do
Loop
WScript.Echo "loop ran", n, "times", Err.Number
