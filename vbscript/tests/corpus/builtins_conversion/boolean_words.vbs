' The words True and False are not numbers to the numeric conversions; the Boolean literals as text are Booleans
On Error Resume Next
Dim v
For Each v In Array("TRUE", "False", " true")
  Err.Clear
  x = CLng(v) : WScript.Echo "CLng", v, Err.Number
  Err.Clear
  x = CDbl(v) : WScript.Echo "CDbl", v, Err.Number
  Err.Clear
  x = CInt(v) : WScript.Echo "CInt", v, Err.Number
Next
Err.Clear
x = CByte("true") : y = CCur("False") : z = CSng("TRUE")
WScript.Echo "others", Err.Number
Err.Clear
x = "True" + 1
WScript.Echo "arithmetic", Err.Number
On Error GoTo 0
WScript.Echo CBool("#TRUE#"), CBool("#false#"), CBool("True"), CBool("false"), CBool("2")
If "#FALSE#" Then WScript.Echo "wrong" Else WScript.Echo "#FALSE# is false"
If "#TRUE#" Then WScript.Echo "#TRUE# is true"
WScript.Echo CByte(True), CByte(False), TypeName(CByte(True))
WScript.Echo Round(True), TypeName(Round(True)), TypeName(Round(False, 2))
WScript.Echo CLng("12"), CDbl("1.5"), CInt(True)
x = CLng("False")
