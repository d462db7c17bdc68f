' Result types, overflow promotion and division
Dim a
a = 32767
WScript.Echo TypeName(a), TypeName(a + 1), a + 1
a = 2147483647
WScript.Echo TypeName(a), TypeName(a + 1), a + 1
WScript.Echo TypeName(200 * 200), 200 * 200
WScript.Echo TypeName(CInt(2) * CInt(3)), TypeName(1.5 + 1), TypeName(CSng(1.5) + 1)
WScript.Echo TypeName(10 / 2), 10 / 2, 1 / 4
WScript.Echo TypeName(2 ^ 2), 2 ^ 0.5
WScript.Echo 4.6 \ 1.5, 7 \ -2, -7 Mod 3, 7 Mod -3
WScript.Echo 2.5 \ 1, 3.5 \ 1, 5.5 Mod 3
WScript.Echo TypeName(5 \ 2), TypeName(100000 \ 3), TypeName(5 Mod 2)
WScript.Echo TypeName(-32768), TypeName(- 32768)
WScript.Echo CByte(200) + CByte(55), TypeName(CByte(200) + CByte(55)), TypeName(CByte(200) + CByte(56))
WScript.Echo True + True, TypeName(True + True)
WScript.Echo "3" + 4, TypeName("3" + 4), "3" + "4", "3" - "1"
WScript.Echo 0.1 + 0.2, 1E+20 * 10, 1.5E-7
WScript.Echo CCur(1.25) + 1, TypeName(CCur(1.25) + 1)
WScript.Echo 7 / 0
