' Public and Private at the top level declare variables, constants and procedures
Public shown
Private hidden, other(2)
Private Const Rate = 0.5
Public Function Half(n)
  Half = n * Rate
End Function
Private Sub SetAll()
  shown = "s" : hidden = "h" : other(2) = "o"
End Sub
SetAll
WScript.Echo shown, hidden, other(2), Half(9)
' A Dim inside a block declares for the whole text
If False Then
  Dim never
End If
WScript.Echo IsEmpty(never), TypeName(never)
