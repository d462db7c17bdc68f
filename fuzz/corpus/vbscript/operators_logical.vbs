' Logical operators: Booleans give Booleans, numbers are bitwise
WScript.Echo True And False, True Or False, True Xor True, True Eqv False, False Imp False
WScript.Echo 12 And 10, 12 Or 10, 12 Xor 10, TypeName(12 And 10)
WScript.Echo Not 0, Not -1, Not 5, TypeName(Not 5), TypeName(Not 100000)
WScript.Echo True And 5, TypeName(True And 5)
WScript.Echo 5 Eqv 3, 5 Imp 3
WScript.Echo Not CByte(0), TypeName(Not CByte(0))
