' The date functions with their named constants.
d = DateSerial(2026, 12, 6)
WScript.Echo Weekday(d, vbMonday), Weekday(d, vbSunday), WeekdayName(vbMonday), WeekdayName(1, True, vbMonday)
WScript.Echo FormatDateTime(d, vbLongDate), FormatDateTime(d, vbShortDate), FormatDateTime(d + TimeSerial(8, 5, 0), vbShortTime), FormatDateTime(d + TimeSerial(8, 5, 0), vbLongTime)
WScript.Echo DatePart("ww", DateSerial(2027, 1, 4), vbMonday, vbFirstFourDays), DatePart("ww", DateSerial(2027, 1, 3), vbSunday, vbFirstFullWeek)
WScript.Echo DateDiff("ww", DateSerial(2026, 12, 6), DateSerial(2026, 12, 7), vbMonday), DatePart("w", d, vbUseSystemDayOfWeek)
