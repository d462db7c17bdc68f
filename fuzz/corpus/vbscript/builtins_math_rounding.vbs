' Round goes to the even neighbour on a half; CInt and CLng do the same.
WScript.Echo Round(0.5), Round(1.5), Round(2.5), Round(3.5), Round(-2.5), Round(-3.5)
WScript.Echo Round(1.2345, 2), Round(2.567, 1), Round(1.25, 1), Round(1.35, 1), Round(12.5, 0)
WScript.Echo Round(7), Round(0.4), Round(1234.5678, 3)
WScript.Echo CInt(0.5), CInt(1.5), CInt(2.5), CInt(-36.5), CLng(2.5), CLng(3.5)
WScript.Echo TypeName(Round(2.5)), TypeName(Round(7)), TypeName(Round(CCur(2.5)))
WScript.Echo IsNull(Round(Null)), IsNull(Abs(Null)), IsNull(Int(Null)), IsNull(Fix(Null))
