' IsEmpty, IsNull, IsNumeric, IsDate, IsObject, IsArray.
Dim never
WScript.Echo IsEmpty(never), IsEmpty(""), IsEmpty(0), IsEmpty(Empty), IsEmpty(Null)
WScript.Echo IsNull(Null), IsNull(""), IsNull(Empty), IsNull(0)
WScript.Echo IsNumeric("12"), IsNumeric("1e3"), IsNumeric(" 7 "), IsNumeric("-1.5"), IsNumeric("&HFF"), IsNumeric(3)
WScript.Echo IsNumeric("abc"), IsNumeric(""), IsNumeric(Null), IsNumeric("1 2"), IsNumeric(Array(1))
WScript.Echo IsNumeric(Empty), IsNumeric(True), IsNumeric(CCur(1)), IsNumeric(Now)
WScript.Echo IsDate("2026-12-06"), IsDate("12/6/2026"), IsDate("10:30"), IsDate(Now), IsDate("December 6, 2026")
WScript.Echo IsDate("hello"), IsDate(""), IsDate(12), IsDate(Null), IsDate("2026-13-01")
Set o = Nothing
Set re = New RegExp
WScript.Echo IsObject(o), IsObject(re), IsObject(1), IsObject(Empty)
WScript.Echo IsArray(Array()), IsArray("a"), IsArray(Split("a b"))
