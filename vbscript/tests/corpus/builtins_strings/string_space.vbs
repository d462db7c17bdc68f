' A string past the longest one scripts may build raises 14 before it is built
On Error Resume Next
Dim s
s = Space(1073741825) : WScript.Echo "Space", Err.Number, Err.Description : Err.Clear
s = String(1073741825, "a") : WScript.Echo "String", Err.Number : Err.Clear
s = String(600000000, ChrW(233)) : WScript.Echo "two bytes each", Err.Number : Err.Clear
s = "x" & Space(10) : WScript.Echo Len(s), Err.Number
