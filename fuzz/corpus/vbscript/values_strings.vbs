' Strings are values; building them
s = ""
For i = 1 To 5
  s = s & i
Next
WScript.Echo s, Len(s)
t = s
t = t & "x"
WScript.Echo s, t
u = Empty
u = u & "from empty"
WScript.Echo u
n = Null
n = n & "from null"
WScript.Echo n
v = 5
v = v & 5
WScript.Echo v, TypeName(v)
w = "a"
w = w & Null & 1 & True
WScript.Echo w
WScript.Echo "UTF-8 text: grüße", Len("grüße")
