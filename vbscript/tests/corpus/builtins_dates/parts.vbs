' Parts and names of a date.
d = DateSerial(2026, 12, 6)
WScript.Echo d, Year(d), Month(d), Day(d), Weekday(d), WeekdayName(Weekday(d)), MonthName(Month(d)), MonthName(12, True)
t = TimeSerial(14, 5, 9)
WScript.Echo t, Hour(t), Minute(t), Second(t), Hour(d), Year(t)
dt = d + t
WScript.Echo dt, Day(dt), Hour(dt), Weekday(dt, 2), Weekday(dt, 1), Weekday(dt, 7)
WScript.Echo WeekdayName(1), WeekdayName(1, True), WeekdayName(1, False, 2), WeekdayName(7, True, 2), MonthName(1), MonthName(2, True)
WScript.Echo Year("2026-03-04"), Month("2026-03-04"), Day("2026-03-04 05:06:07"), Second("2026-03-04 05:06:07")
WScript.Echo TypeName(Year(d)), TypeName(Weekday(d)), TypeName(MonthName(1))
WScript.Echo IsNull(Year(Null)), IsNull(Month(Null)), IsNull(Day(Null)), IsNull(Hour(Null)), IsNull(Minute(Null)), IsNull(Second(Null)), IsNull(Weekday(Null))
On Error Resume Next
x = MonthName(13)
WScript.Echo Err.Number
Err.Clear
x = WeekdayName(0)
WScript.Echo Err.Number
Err.Clear
x = Weekday(d, 8)
WScript.Echo Err.Number
Err.Clear
x = Year("someday")
WScript.Echo Err.Number
Err.Clear
