' Arguments are ByRef unless ByVal; parentheses make a value
Sub Bump(n)
  n = n + 1
End Sub
Sub BumpVal(ByVal n)
  n = n + 1
End Sub
Sub Both(ByRef a, ByVal b)
  a = a * 10 : b = b * 10
End Sub
x = 1
Bump x
WScript.Echo x
BumpVal x
WScript.Echo x
Bump (x)
WScript.Echo x
Call Bump(x)
WScript.Echo x
y = 5
Both x, y
WScript.Echo x, y
' An expression cannot be changed
Bump x + 1
WScript.Echo x
' Arrays pass by reference too, and ByVal copies them
Sub Fill(arr)
  arr(0) = "filled"
End Sub
Sub FillCopy(ByVal arr)
  arr(0) = "copy"
End Sub
Dim list(1)
Fill list
FillCopy list
WScript.Echo list(0)
