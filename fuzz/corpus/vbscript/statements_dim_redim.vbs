' Dim, ReDim [Preserve], Erase, arrays as values
Dim a(3), b(), m(2, 3)
WScript.Echo UBound(a), IsArray(b), UBound(m, 1), UBound(m, 2)
a(0) = "x" : a(3) = "y"
WScript.Echo a(0) & a(1) & a(3)
ReDim b(2)
b(0) = 10 : b(1) = 20 : b(2) = 30
ReDim Preserve b(4)
WScript.Echo UBound(b), b(0), b(2), IsEmpty(b(4))
ReDim Preserve b(1)
WScript.Echo UBound(b), b(1)
ReDim b(1)
WScript.Echo IsEmpty(b(0))
m(1, 2) = "mid"
WScript.Echo m(1, 2), IsEmpty(m(2, 3))
ReDim grid(1, 1)
grid(1, 1) = 4
ReDim Preserve grid(1, 3)
WScript.Echo grid(1, 1), UBound(grid, 2)
' Arrays are values: assignment copies
c = a
c(0) = "changed"
WScript.Echo a(0), c(0)
Erase a
WScript.Echo UBound(a), IsEmpty(a(0))
Erase b
WScript.Echo IsArray(b)
' An array of arrays
Dim outer(1)
outer(0) = Array(1, 2, 3)
outer(0)(1) = 99
WScript.Echo outer(0)(1)
ReDim a(5)
