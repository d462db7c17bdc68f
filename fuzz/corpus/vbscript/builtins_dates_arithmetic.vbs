' DateAdd (adding a month to 31 January gives the last day of February),
' DateDiff (boundaries crossed) and DatePart.
d = DateSerial(2026, 12, 6)
WScript.Echo DateAdd("m", 1, DateSerial(2026, 1, 31)), DateAdd("m", 1, DateSerial(2024, 1, 31)), DateAdd("m", -1, DateSerial(2026, 3, 31))
WScript.Echo DateAdd("yyyy", 1, DateSerial(2024, 2, 29)), DateAdd("q", 1, d), DateAdd("d", 26, d), DateAdd("ww", 1, d), DateAdd("w", -6, d), DateAdd("y", 1, d)
WScript.Echo DateAdd("h", 36, d), DateAdd("n", 90, d), DateAdd("s", -1, d)
WScript.Echo DateDiff("d", DateSerial(2026, 1, 1), DateSerial(2026, 12, 31)), DateDiff("yyyy", DateSerial(2026, 12, 31), DateSerial(2027, 1, 1))
WScript.Echo DateDiff("m", DateSerial(2026, 1, 31), DateSerial(2026, 2, 1)), DateDiff("q", DateSerial(2026, 3, 31), DateSerial(2026, 4, 1))
WScript.Echo DateDiff("d", DateSerial(2026, 12, 6), DateSerial(2026, 12, 1)), DateDiff("w", DateSerial(2026, 1, 1), DateSerial(2026, 1, 15))
WScript.Echo DateDiff("ww", DateSerial(2026, 12, 5), DateSerial(2026, 12, 6)), DateDiff("ww", DateSerial(2026, 12, 6), DateSerial(2026, 12, 12))
WScript.Echo DateDiff("h", CDate("2026-01-01 10:59:00"), CDate("2026-01-01 11:00:00")), DateDiff("n", CDate("10:00:59"), CDate("10:01:00")), DateDiff("s", CDate("10:00:00"), CDate("10:01:30"))
WScript.Echo DatePart("yyyy", d), DatePart("q", d), DatePart("m", d), DatePart("y", d), DatePart("d", d), DatePart("w", d), DatePart("ww", d)
WScript.Echo DatePart("h", d + TimeSerial(14, 5, 9)), DatePart("n", d + TimeSerial(14, 5, 9)), DatePart("s", d + TimeSerial(14, 5, 9)), DatePart("w", d, 2)
WScript.Echo TypeName(DateDiff("d", d, d)), TypeName(DatePart("d", d)), TypeName(DateAdd("d", 1, d))
On Error Resume Next
x = DateAdd("x", 1, d)
WScript.Echo Err.Number
Err.Clear
x = DateDiff("dd", d, d)
WScript.Echo Err.Number
Err.Clear
x = DatePart("", d)
WScript.Echo Err.Number
Err.Clear
