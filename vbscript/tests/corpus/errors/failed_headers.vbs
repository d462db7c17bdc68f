' Under Resume Next a failing block header goes on inside the block
Dim i, v, n, zero, t
zero = 0
On Error Resume Next
For i = 1 To 1 / zero
  WScript.Echo "for body", Err.Number
Next
WScript.Echo "after for", Err.Number, Err.Description
Err.Clear
For Each v In 42
  WScript.Echo "for each body", Err.Number, IsEmpty(v)
Next
Err.Clear
n = 0
Do Until 1 / zero
  n = n + 1
Loop
WScript.Echo "do until ran", n, Err.Number
Err.Clear
n = 0
While CLng("x")
  n = n + 1
Wend
WScript.Echo "while ran", n, Err.Number
Err.Clear
With 1 / zero
  WScript.Echo "with body", Err.Number
  Err.Clear
  t = .Name
  WScript.Echo "member", Err.Number
End With
Err.Clear
Select Case 1 / zero
  Case 1
    WScript.Echo "first case", Err.Number
  Case 2
    WScript.Echo "second case"
End Select
' A failure in a loop's own test at its foot ends it
Err.Clear
n = 0
Do
  n = n + 1
Loop While 1 / zero
WScript.Echo "do loop ran", n, Err.Number
