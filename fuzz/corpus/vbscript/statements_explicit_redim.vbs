Option Explicit
' ReDim declares even under Option Explicit
ReDim list(2)
list(2) = "ok"
WScript.Echo list(2)
undeclared = 1
