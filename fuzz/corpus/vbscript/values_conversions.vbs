' Implicit and explicit conversions
WScript.Echo CStr(True), CStr(False), CStr(1.5), CStr(-0.25), CStr(1E+16)
WScript.Echo CInt(0.5), CInt(1.5), CInt(2.5), CInt(-36.5), CLng("12"), CDbl("1.25")
WScript.Echo CBool("True"), CBool(0), CBool(-3), CBool("false")
WScript.Echo "5" * "2", "10" / 4, "2" ^ 3
WScript.Echo True * 3, False - 1
WScript.Echo CDate("2024-02-29") + 1
x = "12"
x = x + 1
WScript.Echo x, TypeName(x)
WScript.Echo CInt(Null)
