' Me outside a class is the script's global object; ".name" outside With fails when it runs
Dim t, z
Set t = Me
WScript.Echo Me Is t, TypeName(Me), IsObject(Me)
z = 5
Function Twice(n)
  Twice = n * 2
End Function
Sub Check()
  WScript.Echo Me Is t, Me.z, Me.Twice(3)
End Sub
Check
Me.z = 6
WScript.Echo z
On Error Resume Next
t = .Missing
WScript.Echo Err.Number, Err.Description
Err.Clear
Me.Nowhere
WScript.Echo Err.Number
On Error GoTo 0
.Missing
