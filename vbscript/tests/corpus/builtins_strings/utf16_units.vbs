' Lengths and positions count UTF-16 code units: a character past the Basic Multilingual Plane is two
Dim face, s, hi, lo
face = ChrW(&HD83D) & ChrW(&HDE00)
s = "a" & face & "b"
WScript.Echo Len(face), Len(s), LenB(s), s
WScript.Echo InStr(s, "b"), InStrRev(s, "b"), InStr(3, s, "b"), Mid(s, 2, 2) = face, Right(s, 3) = face & "b"
WScript.Echo AscW(face), AscW(Mid(s, 3)), Hex(AscW(Mid(s, 3)))
hi = Left(s, 2)
lo = Mid(s, 3)
WScript.Echo Len(hi), Len(lo), hi & lo = s, Len(hi & lo)
Dim built
built = "x"
built = built & ChrW(&HD83D)
built = built & ChrW(&HDE00)
WScript.Echo built, Len(built), built = "x" & face
WScript.Echo Replace(s, face, "-"), UCase(s), StrReverse("ab") & face
