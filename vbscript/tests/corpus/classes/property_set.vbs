' Property Set, object fields, property arguments
Class Holder
  Private m_obj
  Private m_grid(2)
  Public Property Set Obj(o)
    Set m_obj = o
  End Property
  Public Property Get Obj()
    Set Obj = m_obj
  End Property
  Public Property Get Cell(i)
    Cell = m_grid(i)
  End Property
  Public Property Let Cell(i, v)
    m_grid(i) = v
  End Property
End Class
Set h = New Holder
Set h.Obj = CreateObject("Scripting.Dictionary")
h.Obj.Add "a", 1
WScript.Echo h.Obj.Count, TypeName(h.Obj)
h.Cell(1) = "one"
WScript.Echo h.Cell(1), IsEmpty(h.Cell(0))
