' For Each over a multi-dimensional array: the first subscript varies fastest
Dim m(1, 2), c(1, 1, 1), i, j, k, s
For i = 0 To 1
  For j = 0 To 2
    m(i, j) = i & j
  Next
Next
For Each v In m
  s = s & v & " "
Next
WScript.Echo s
s = ""
For i = 0 To 1 : For j = 0 To 1 : For k = 0 To 1
  c(i, j, k) = i & j & k
Next : Next : Next
For Each v In c
  s = s & v & " "
Next
WScript.Echo s
ReDim r(2, 0)
r(0, 0) = "x" : r(1, 0) = "y" : r(2, 0) = "z"
s = ""
For Each v In r
  s = s & v
Next
WScript.Echo s
