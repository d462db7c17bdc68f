' Hex and Oct: negative numbers in the two's complement of their subtype.
WScript.Echo Hex(255), Hex(0), Hex(16), Hex(-1), Hex(65535), Hex(-32768), Hex(CLng(-1))
WScript.Echo Oct(8), Oct(0), Oct(-1), Oct(CLng(-1)), Oct(511)
WScript.Echo Hex(1.4), Hex(2.5), Hex(3.5), Hex("255"), Hex(&H7FFFFFFF), Hex(CByte(255))
WScript.Echo TypeName(Hex(1)), IsNull(Hex(Null)), IsNull(Oct(Null)), "[" & Hex(Empty) & "]"
On Error Resume Next
x = Hex(2147483648)
WScript.Echo Err.Number
Err.Clear
x = Hex("zz")
WScript.Echo Err.Number
Err.Clear
