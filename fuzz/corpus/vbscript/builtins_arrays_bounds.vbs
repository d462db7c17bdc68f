' Array, LBound, UBound and Filter.
a = Array(1, "two", 3.5)
WScript.Echo UBound(a), LBound(a), TypeName(a), VarType(a), IsArray(a), TypeName(a(1)), TypeName(a(0))
e = Array()
WScript.Echo UBound(e), LBound(e), IsArray(e)
Dim m(2, 3)
WScript.Echo UBound(m), UBound(m, 1), UBound(m, 2), LBound(m, 2)
b = Array(Array(1, 2), "x")
WScript.Echo UBound(b(0)), b(0)(1)
f = Filter(Array("apple", "banana", "cherry"), "an")
WScript.Echo UBound(f), f(0)
f = Filter(Array("apple", "banana", "cherry"), "an", False)
WScript.Echo UBound(f), Join(f, ",")
f = Filter(Array("Apple", "berry"), "a", True, 1)
WScript.Echo UBound(f), f(0)
f = Filter(Array("x", "y"), "z")
WScript.Echo UBound(f)
On Error Resume Next
x = UBound(m, 3)
WScript.Echo Err.Number, Err.Description
Err.Clear
x = UBound(5)
WScript.Echo Err.Number
Err.Clear
x = LBound("abc")
WScript.Echo Err.Number
Err.Clear
x = UBound(a, 0)
WScript.Echo Err.Number
Err.Clear
x = Filter("abc", "a")
WScript.Echo Err.Number
Err.Clear
