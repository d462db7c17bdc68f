' Chained Not and the reversed spellings of >=, <= and <>
Dim x
x = Not Not True
WScript.Echo x, TypeName(x), Not Not Not 0, Not Not 1 = 1
WScript.Echo 3 => 2, 2 => 3, 3 =< 2, 2 =< 2
WScript.Echo 3 >< 2, 2 >< 2
If 1 => 1 And Not Not 2 >< 3 Then WScript.Echo "both"
