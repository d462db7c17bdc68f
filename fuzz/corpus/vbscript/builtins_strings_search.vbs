' InStr, InStrRev, Replace and StrComp, in binary (0) and text (1) mode.
WScript.Echo InStr("hello", "l"), InStr(4, "hello", "l"), InStr("hello", "z"), InStr("Hello", "h"), InStr(1, "Hello", "h", 1)
WScript.Echo InStr("", "a"), InStr("abc", ""), InStr(2, "abc", ""), InStr(5, "abc", "c")
WScript.Echo InStrRev("hello", "l"), InStrRev("hello", "l", 3), InStrRev("hello", "z"), InStrRev("HELLO", "l", -1, 1)
WScript.Echo Replace("aXbXc", "X", "-"), Replace("aXbXc", "x", "-"), Replace("aXbXc", "x", "-", 1, -1, 1)
' The result of Replace starts at `start`.
WScript.Echo Replace("abcabc", "b", "x", 3), Replace("aaaa", "a", "b", 1, 2), Replace("abc", "", "x"), Replace("abc", "b", "")
WScript.Echo StrComp("a", "b"), StrComp("b", "a"), StrComp("A", "a"), StrComp("A", "a", 1), StrComp("a", "a"), StrComp("abc", "ab")
WScript.Echo InStr(1, "aaa", "aa"), InStrRev("aaa", "aa"), Len(Replace("aaa", "aa", "b"))
WScript.Echo TypeName(InStr("a", "a")), TypeName(StrComp("a", "b"))
