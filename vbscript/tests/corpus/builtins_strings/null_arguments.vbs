' Null where a built-in needs a value raises the number native raises
On Error Resume Next
Dim r
r = InStrRev(Null, "a") : WScript.Echo "InStrRev", Err.Number : Err.Clear
r = Mid("abc", 1, Null) : WScript.Echo "Mid", Err.Number : Err.Clear
Sgn Null : WScript.Echo "Sgn", Err.Number : Err.Clear
r = Sgn(Null) : WScript.Echo "Sgn value", Err.Number : Err.Clear
r = FormatNumber(Null) : WScript.Echo "FormatNumber", Err.Number : Err.Clear
r = FormatCurrency(Null) : WScript.Echo "FormatCurrency", Err.Number : Err.Clear
r = FormatPercent(Null) : WScript.Echo "FormatPercent", Err.Number : Err.Clear
r = FormatDateTime(Null) : WScript.Echo "FormatDateTime", Err.Number : Err.Clear
r = Join(Array("a", Null, "b"), "-") : WScript.Echo "Join", Err.Number : Err.Clear
' Null still passes through where native lets it
WScript.Echo IsNull(InStr(Null, "a")), IsNull(InStrRev("abc", Null)), IsNull(Mid(Null, 2)), Err.Number
WScript.Echo Join(Array("a", Empty, "b"), "-")
