' Member assignment on Nothing and With on a non-object need an object (424)
Class Box
  Public Value
End Class
Dim b, t
Set b = Nothing
On Error Resume Next
b.Value = 1
WScript.Echo "assign", Err.Number, Err.Description
Err.Clear
t = b.Value
WScript.Echo "read", Err.Number
Err.Clear
With 42
  WScript.Echo "with", Err.Number
End With
On Error GoTo 0
Set b = New Box
With b
  .Value = 7
End With
WScript.Echo b.Value
With "text"
End With
