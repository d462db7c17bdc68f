' For ... Next
For i = 1 To 3
  s = s & i
Next
WScript.Echo s, i
s = ""
For i = 10 To 1 Step -3
  s = s & i & " "
Next
WScript.Echo s
s = ""
For i = 0 To 1 Step 0.25
  s = s & i & " "
Next
WScript.Echo s
For i = 5 To 1
  WScript.Echo "never"
Next
WScript.Echo "after empty loop", i
For i = 1 To 10
  If i = 4 Then Exit For
Next
WScript.Echo "exited at", i
' Bounds are evaluated once; the body may change the counter
n = 3
For i = 1 To n
  n = 10
Next
WScript.Echo i
s = ""
For i = 1 To 10
  i = i + 4
  s = s & "."
Next
WScript.Echo s
For i = 32766 To 32768
Next
WScript.Echo i, TypeName(i)
