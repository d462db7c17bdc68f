' A syntax error anywhere stops the file before anything runs
WScript.Echo "not printed"
If x Then
  y = (1 + 2
End If
