' Concatenation and comparison rules
Dim n, s, e
n = 42
s = "42"
WScript.Echo "a" & 1 & True & Null & e & 2.5
WScript.Echo TypeName(Null & Null), TypeName(Null & ""), TypeName(e & e)
WScript.Echo "42" = 42, 42 = "42", n = s, s = n, n < s
WScript.Echo "abc" < "abd", "B" < "a", "a" < "ab", "" < "a"
WScript.Echo e = 0, e = "", e = e, e < 1
WScript.Echo False > True, True = -1, True = 1
WScript.Echo #2024-01-02# > #2024-01-01#, #2024-01-01# = 45292
WScript.Echo 1 = 1.0, CSng(0.5) = 0.5, 10 >= 10, 10 <> 10
Const K = 7
WScript.Echo "7" = K, K = "7"
WScript.Echo "abc" = 5
