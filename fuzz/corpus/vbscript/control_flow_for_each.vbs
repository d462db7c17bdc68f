' For Each over arrays and collections
For Each v In Array(1, "two", 3.5)
  WScript.Echo v, TypeName(v)
Next
Dim m(1, 1)
m(0, 0) = "a" : m(0, 1) = "b" : m(1, 0) = "c" : m(1, 1) = "d"
For Each v In m
  s = s & v
Next
WScript.Echo s
Set d = CreateObject("Scripting.Dictionary")
d.Add "k1", "v1"
d.Add "k2", "v2"
For Each k In d
  WScript.Echo k, d(k)
Next
For Each v In Array(1, 2, 3, 4)
  If v = 3 Then Exit For
  WScript.Echo "item", v
Next
For Each v In Array()
  WScript.Echo "never"
Next
For Each v In 42
Next
