' Classes: fields, methods, properties, Me, Initialize and Terminate
Class Counter
  Private m_count
  Public Name
  Private Sub Class_Initialize()
    m_count = 0
    Name = "unnamed"
    WScript.Echo "initialize"
  End Sub
  Private Sub Class_Terminate()
    WScript.Echo "terminate " & Name
  End Sub
  Public Sub Increment(by)
    m_count = m_count + by
  End Sub
  Public Property Get Count()
    Count = m_count
  End Property
  Public Property Let Count(v)
    If v < 0 Then Err.Raise 5
    m_count = v
  End Property
  Public Function Describe()
    Describe = Me.Name & "=" & Count
  End Function
  Private Function Secret()
    Secret = "hidden"
  End Function
  Public Function Reveal()
    Reveal = Secret() & "/" & Me.Secret()
  End Function
End Class
Set c = New Counter
c.Name = "c1"
c.Increment 5
c.Increment 2
WScript.Echo c.Count, c.Describe(), TypeName(c), IsObject(c)
c.Count = 40
WScript.Echo c.Count, c.Reveal()
Set c2 = c
Set c = Nothing
WScript.Echo "still referenced"
Set c2 = Nothing
WScript.Echo "after release"
Set c3 = New Counter
c3.Name = "c3"
WScript.Echo c3.Secret
