' Split and Join, with counts and compare modes; Split("") is an empty array.
a = Split("a,b,,c", ",")
WScript.Echo UBound(a), a(0), a(3), "[" & a(2) & "]", TypeName(a), TypeName(a(0))
a = Split("")
WScript.Echo UBound(a), LBound(a), IsArray(a)
a = Split("a b  c")
WScript.Echo UBound(a), "[" & a(2) & "]"
a = Split("a,b,c", ",", 2)
WScript.Echo UBound(a), a(1)
a = Split("aXbxc", "x", -1, 1)
WScript.Echo UBound(a), Join(a, "|")
a = Split("aXbxc", "x")
WScript.Echo UBound(a), a(0)
a = Split("abc", "")
WScript.Echo UBound(a), a(0)
a = Split("one--two--three", "--")
WScript.Echo UBound(a), a(2)
WScript.Echo Join(Array("a", "b", "c")), Join(Array("a", "b"), "-"), "[" & Join(Array(), ",") & "]", Join(Array(1, 2.5, True), "")
WScript.Echo Join(Split("x y z"), ", ")
On Error Resume Next
x = Join(5)
WScript.Echo Err.Number
Err.Clear
x = Split("a", ",", -2)
WScript.Echo Err.Number
Err.Clear
