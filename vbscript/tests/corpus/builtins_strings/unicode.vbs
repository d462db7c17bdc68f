' Text beyond ASCII: lengths and positions count characters.
s = "héllo wörld"
WScript.Echo Len(s), InStr(s, "l"), InStr(s, "ö"), Mid(s, 2, 1), Left(s, 2), Right(s, 5), InStrRev(s, "l")
WScript.Echo UCase(s), LCase("ÀÉÎÕÜ"), StrReverse("héllo"), StrComp("É", "é", 1), StrComp("É", "é")
WScript.Echo AscW("é"), ChrW(8364), Asc("é"), Chr(233), Escape("é€"), Unescape("%E9%u20AC")
WScript.Echo Replace("Ça va, ça va", "ça", "x", 1, -1, 1), Join(Split("α,β,γ", ","), "+"), UBound(Split("αXβxγ", "x", -1, 1))
WScript.Echo Len(ChrW(955) & "x"), Mid("€€€abc", 3, 2), Trim("  ü  ") & "|"
