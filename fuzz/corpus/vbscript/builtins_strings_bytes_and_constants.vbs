' The byte forms count two bytes per character; compare modes by name.
WScript.Echo LenB("abc"), LeftB("abc", 2), RightB("abc", 2), MidB("abc", 3, 2), InStrB("abc", "b"), LenB("")
WScript.Echo InStr(1, "ABC", "b", vbTextCompare), InStr(1, "ABC", "b", vbBinaryCompare), StrComp("a", "A", vbTextCompare)
WScript.Echo UBound(Split("aXbxc", "x", -1, vbTextCompare)), Replace("AbAb", "a", "-", 1, -1, vbTextCompare)
WScript.Echo Len(vbCrLf), Asc(vbTab), Len(vbNullString), Asc(vbLf)
