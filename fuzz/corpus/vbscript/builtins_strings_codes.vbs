' Character codes and escaping.
WScript.Echo Asc("A"), Asc("abc"), AscW("a"), Chr(65), ChrW(97), Asc(Chr(200)), AscW(ChrW(8364))
WScript.Echo Len(Chr(0)), Asc(Chr(255)), AscB("A"), TypeName(Asc("A"))
WScript.Echo Escape("a b&c=d/e.f"), Escape("100%"), Escape(ChrW(8364))
WScript.Echo Unescape("a%20b%26c"), Unescape("%u0041%42"), Unescape(Escape("x y?z"))
WScript.Echo Chr(72) & Chr(105), UCase(Chr(97))
