' Text and numbers to dates, and the date and time halves of a value.
WScript.Echo CDate("2026-12-06"), CDate("2026-12-06 14:05:09"), CDate("14:05"), CDate(36526), CDate(36526.5)
WScript.Echo DateValue("2026-12-06 14:30:00"), TimeValue("2026-12-06 14:30:00"), DateValue(CDate("2026-01-02 03:04:05"))
WScript.Echo CDate("12/6/2026"), CDate("December 6, 2026"), CDate("6 Dec 2026 10:00 PM")
WScript.Echo TypeName(DateValue("2026-12-06")), TypeName(TimeValue("10:00")), CDbl(CDate("2000-01-01 12:00"))
WScript.Echo IsNull(TimeValue(Null))
On Error Resume Next
x = DateValue("tomorrow")
WScript.Echo Err.Number
Err.Clear
x = CDate("2026-02-30")
WScript.Echo Err.Number
Err.Clear
