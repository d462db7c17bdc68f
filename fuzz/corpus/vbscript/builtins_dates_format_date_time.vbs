' FormatDateTime in its five fixed formats.
dt = DateSerial(2026, 12, 6) + TimeSerial(9, 4, 59)
WScript.Echo FormatDateTime(dt), FormatDateTime(dt, 0)
WScript.Echo FormatDateTime(dt, 1)
WScript.Echo FormatDateTime(dt, 2), FormatDateTime(dt, 3), FormatDateTime(dt, 4)
WScript.Echo FormatDateTime(DateSerial(2026, 1, 2)), FormatDateTime(TimeSerial(23, 0, 0)), FormatDateTime("2026-07-04", 1)
WScript.Echo FormatDateTime(DateSerial(2027, 2, 1), 1)
On Error Resume Next
x = FormatDateTime(dt, 5)
WScript.Echo Err.Number
Err.Clear
x = FormatDateTime("soon")
WScript.Echo Err.Number
Err.Clear
