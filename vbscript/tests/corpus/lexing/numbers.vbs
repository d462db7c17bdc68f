' Numeric literals
WScript.Echo 32767, TypeName(32767), TypeName(32768), TypeName(2147483647), TypeName(2147483648)
WScript.Echo &HFF, &hff, &HFFFF, TypeName(&HFFFF), &H8000, &H10000, TypeName(&H10000)
WScript.Echo &HFFFF&, TypeName(&HFFFF&), &HFFFFFFFF, &H7FFFFFFF
WScript.Echo &O17, &o777, TypeName(&O17)
WScript.Echo 1.5, .5, 1E3, 1.5e-3, 2E+2, TypeName(1E3), TypeName(1.0)
WScript.Echo 1.23456789012345678, 100000000000000000000
' With the & suffix the digits are 32 bits; the subtype is the smallest that holds the value
WScript.Echo TypeName(&h10&), TypeName(&H7FFF&), TypeName(&H8000&), &H8000&, TypeName(&O17&), TypeName(&HFFFFFFFF&), &HFFFFFFFF&
