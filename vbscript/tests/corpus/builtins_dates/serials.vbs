' DateSerial and TimeSerial roll over out-of-range parts; two-digit years
' 0-29 are 2000s, 30-99 are 1900s.
WScript.Echo DateSerial(2026, 1, 32), DateSerial(2026, 13, 1), DateSerial(2026, 3, 0), DateSerial(2026, 0, 1), DateSerial(2024, 2, 29)
WScript.Echo DateSerial(99, 1, 1), DateSerial(30, 6, 15), DateSerial(29, 6, 15), DateSerial(5, 1, 1), DateSerial(0, 1, 1)
WScript.Echo DateSerial(2026, 1, 1 - 1), DateSerial(2026, 14, -1), DateSerial(2026, 2, 29)
WScript.Echo TimeSerial(0, 90, 0), TimeSerial(12, -1, 0), TimeSerial(1, 1, 61), TimeSerial(23, 59, 59)
WScript.Echo TypeName(DateSerial(2026, 1, 1)), TypeName(TimeSerial(1, 0, 0))
On Error Resume Next
x = DateSerial(10000, 1, 1)
WScript.Echo Err.Number
Err.Clear
x = DateSerial(Null, 1, 1)
WScript.Echo Err.Number
Err.Clear
