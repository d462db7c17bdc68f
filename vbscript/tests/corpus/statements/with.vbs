' With blocks
Class Point
  Public X, Y
  Public Function Sum()
    Sum = X + Y
  End Function
End Class
Set p = New Point
With p
  .X = 3
  .Y = 4
  WScript.Echo .X, .Y, .Sum()
  With New Point
    .X = 10
    WScript.Echo "inner", .X
  End With
  WScript.Echo "outer again", .X
End With
Set d = CreateObject("Scripting.Dictionary")
With d
  .Add "a", 1
  .Add "b", 2
  WScript.Echo .Count, .Item("b")
End With
