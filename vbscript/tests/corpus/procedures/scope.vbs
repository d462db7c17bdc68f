' Locals, globals and implicit variables
Dim g
g = "global"
Sub UseGlobal()
  g = g & "+sub"
End Sub
Sub Shadow()
  Dim g
  g = "local"
  WScript.Echo g
End Sub
Sub Implicit()
  temp = "implicit local"
  WScript.Echo temp
End Sub
UseGlobal
Shadow
Implicit
WScript.Echo g, IsEmpty(temp)
