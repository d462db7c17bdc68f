' Null passes through the slicing functions; bad counts and positions raise 5.
WScript.Echo IsNull(Len(Null)), IsNull(Left(Null, 1)), IsNull(Right(Null, 1)), IsNull(Mid(Null, 1)), IsNull(Mid(Null, 1, 2))
WScript.Echo IsNull(UCase(Null)), IsNull(LCase(Null)), IsNull(Trim(Null)), IsNull(LTrim(Null)), IsNull(RTrim(Null))
WScript.Echo IsNull(InStr("abc", Null)), IsNull(InStr(Null, "a")), IsNull(StrComp("a", Null)), IsNull(InStrRev(Null, "a"))
On Error Resume Next
x = Left("abc", -1)
WScript.Echo Err.Number, Err.Description
Err.Clear
x = Right("abc", -1)
WScript.Echo Err.Number
Err.Clear
x = Mid("abc", 0)
WScript.Echo Err.Number
Err.Clear
x = Mid("abc", 1, -1)
WScript.Echo Err.Number
Err.Clear
x = Asc("")
WScript.Echo Err.Number
Err.Clear
x = Chr(256)
WScript.Echo Err.Number
Err.Clear
x = Space(-1)
WScript.Echo Err.Number
Err.Clear
x = InStr(0, "abc", "a")
WScript.Echo Err.Number
Err.Clear
x = String(-1, "a")
WScript.Echo Err.Number
Err.Clear
x = Replace("abc", "a", "b", 0)
WScript.Echo Err.Number
Err.Clear
x = Left("abc", Null)
WScript.Echo Err.Number, Err.Description
Err.Clear
x = Asc(Null)
WScript.Echo Err.Number
Err.Clear
x = StrReverse(Null)
WScript.Echo Err.Number
Err.Clear
