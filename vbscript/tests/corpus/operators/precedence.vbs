' Precedence and grouping
WScript.Echo -3 ^ 2
WScript.Echo 2 ^ 3 ^ 2
WScript.Echo 2 + 3 * 4
WScript.Echo (2 + 3) * 4
WScript.Echo 10 - 4 - 3
WScript.Echo 17 \ 5 * 2
WScript.Echo 17 Mod 5 * 2
WScript.Echo 2 * 3 Mod 4
WScript.Echo 1 + 2 & 3 + 4
WScript.Echo 1 < 2 < 3
WScript.Echo 3 > 2 > 1
WScript.Echo Not 1 = 2
WScript.Echo Not True And False
WScript.Echo True Or False And False
WScript.Echo 1 = 1 Imp False
WScript.Echo 2 ^ -1
WScript.Echo - - 4
