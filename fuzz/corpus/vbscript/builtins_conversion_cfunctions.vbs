' The C* conversions, their subtypes, rounding and failures.
WScript.Echo CInt(2.5), CInt(3.5), CInt(-36.5), CLng("123"), CDbl("1.5"), CBool(1), CBool(0), CBool("True"), CBool("false")
WScript.Echo TypeName(CInt(1)), TypeName(CLng(1)), TypeName(CDbl(1)), TypeName(CSng(1)), TypeName(CCur(1))
WScript.Echo TypeName(CByte(1)), TypeName(CStr(1)), TypeName(CBool(1)), TypeName(CDate(1))
WScript.Echo CStr(1.5), CStr(True), CStr(False), CCur(1.23456), CSng(1.5), CByte(255), CStr(-0.25)
WScript.Echo CInt("  12 "), CLng(True), CInt(Empty), "[" & CStr(Empty) & "]", CDbl("1e3"), CLng("&HFF")
On Error Resume Next
x = CInt(32768)
WScript.Echo Err.Number, Err.Description
Err.Clear
x = CByte(256)
WScript.Echo Err.Number
Err.Clear
x = CByte(-1)
WScript.Echo Err.Number
Err.Clear
x = CLng(2147483648)
WScript.Echo Err.Number
Err.Clear
x = CInt("abc")
WScript.Echo Err.Number, Err.Description
Err.Clear
x = CDbl("")
WScript.Echo Err.Number
Err.Clear
x = CBool("maybe")
WScript.Echo Err.Number
Err.Clear
x = CDate("not a date")
WScript.Echo Err.Number
Err.Clear
x = CStr(Null)
WScript.Echo Err.Number, Err.Description
Err.Clear
x = CInt(Null)
WScript.Echo Err.Number
Err.Clear
x = CLng(Null)
WScript.Echo Err.Number
Err.Clear
x = CDate(Null)
WScript.Echo Err.Number
Err.Clear
x = CDbl(Null)
WScript.Echo Err.Number
Err.Clear
x = CInt(Array(1))
WScript.Echo Err.Number
Err.Clear
