' Procedures exist before the first statement runs, even inside If False
WScript.Echo Hidden()
If False Then
Function Hidden()
  Hidden = "found"
End Function
End If
