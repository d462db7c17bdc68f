' An array element passed to a ByRef parameter is the element itself
Sub Inc(n)
  n = n + 1
End Sub
Sub IncByVal(ByVal n)
  n = n + 1
End Sub
Dim arr(2), grid(1, 1), nested, i
arr(1) = 10
Inc arr(1)
IncByVal arr(1)
WScript.Echo arr(1)
grid(1, 0) = 5
Inc grid(1, 0)
Call Inc(grid(1, 0))
WScript.Echo grid(1, 0)
nested = Array(Array(1, 2), 3)
Inc nested(0)(1)
WScript.Echo nested(0)(1)
For i = 0 To 2
  Inc arr(i)
Next
WScript.Echo arr(0), arr(1), arr(2)
Class Holder
  Public Items
  Sub Class_Initialize()
    Items = Array(1, 2)
  End Sub
End Class
Set h = New Holder
' A property's value is a copy: only a variable's own elements are bound
Inc h.Items(0)
WScript.Echo h.Items(0)
' While an element is bound, its array cannot be resized
Class Store
  Public Items()
  Sub Class_Initialize()
    ReDim Items(1)
  End Sub
  Sub Grow(x)
    ReDim Preserve Items(100)
    x = "set"
  End Sub
  Sub Wipe(x)
    Erase Items
    x = "wiped"
  End Sub
  Sub Run()
    On Error Resume Next
    Grow Items(0)
    WScript.Echo Err.Number, UBound(Items), Items(0)
    Err.Clear
    Wipe Items(1)
    WScript.Echo Err.Number, UBound(Items), Items(1)
    Err.Clear
    ReDim Preserve Items(3)
    WScript.Echo Err.Number, UBound(Items)
  End Sub
End Class
Set s = New Store
s.Run
