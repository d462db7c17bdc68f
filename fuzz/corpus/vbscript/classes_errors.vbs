Class A
  Public X
End Class
Set obj = New A
WScript.Echo "before"
obj.Missing = 1
