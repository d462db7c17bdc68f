' Public Default members and value contexts
Class Cell
  Private m_v
  Public Default Property Get Value()
    Value = m_v
  End Property
  Public Property Let Value(v)
    m_v = v
  End Property
End Class
Class Table
  Private m_items(3)
  Public Default Function Item(i)
    Item = m_items(i)
  End Function
  Public Sub Store(i, v)
    m_items(i) = v
  End Sub
End Class
Set c = New Cell
c.Value = 21
WScript.Echo c, c * 2, c & "!", c = 21
x = c
WScript.Echo TypeName(x), x
Set t = New Table
t.Store 2, "two"
WScript.Echo t(2), t.Item(2)
Class Plain
  Public A
End Class
Set p = New Plain
y = p
