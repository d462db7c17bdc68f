' Date literals
d = #2024-03-15#
WScript.Echo d, TypeName(d), VarType(d)
WScript.Echo #1/15/2024#, #2024-01-15 13:45:10#, #10:30:00#
WScript.Echo #12/31/1899# + 0, CDbl(#1899-12-30#)
