' Null propagation and Empty
Dim e, x
x = Null
WScript.Echo IsNull(x + 1), IsNull(x * 2), IsNull(x = 1), IsNull(x <> x), IsNull(-x)
WScript.Echo IsNull(Not x), False And x, IsNull(True And x), True Or x, IsNull(False Or x)
WScript.Echo IsNull(x Xor True), IsNull(x Eqv True), False Imp x, IsNull(True Imp x), x Imp True, IsNull(x Imp False)
WScript.Echo IsNull(x & x), x & "a", IsNull(x \ 2), IsNull(x Mod 2), IsNull(x ^ 2), IsNull(x / 2)
If x Then WScript.Echo "null is true" Else WScript.Echo "null is false"
If Not x Then WScript.Echo "not null is true" Else WScript.Echo "not null is false"
WScript.Echo e + 1, TypeName(e + e), e & "x", -e, TypeName(-e), e * 5, Not e
WScript.Echo IsEmpty(e), IsEmpty(e + 0), TypeName(e), VarType(e), VarType(x)
WScript.Echo 0 And x, TypeName(0 And x), -1 Or x
