' Len, Left, Right, Mid and friends count characters.
WScript.Echo Len("hello"), Len(""), Len(12345), Len(True), Len(-1.5)
WScript.Echo Left("hello", 2), Right("hello", 3), Mid("hello", 2, 3), Mid("hello", 4)
WScript.Echo "[" & Left("hi", 10) & "]", "[" & Right("hi", 0) & "]", "[" & Mid("hello", 10) & "]", "[" & Mid("hello", 2, 0) & "]"
WScript.Echo "[" & Trim("  a b  ") & "]", "[" & LTrim("  a ") & "]", "[" & RTrim(" a  ") & "]"
' Trim removes blanks only: the tabs at both ends keep the text whole.
WScript.Echo Len(Trim(vbTab & " x " & vbTab)), Len(Trim("   "))
WScript.Echo UCase("MiXeD 1!"), LCase("MiXeD 1!")
WScript.Echo "[" & Space(3) & "]", String(3, "ab"), String(2, 65), "[" & String(0, "x") & "]"
WScript.Echo StrReverse("abc"), "[" & StrReverse("") & "]"
WScript.Echo Len(Mid("abcdef", 3)), Mid("abcdef", 6, 5)
s = ""
For i = 1 To 5
  s = s & Mid("12345", 6 - i, 1)
Next
WScript.Echo s
