' Dictionary failures: a duplicate key, a missing key, CompareMode once filled.
Set d = CreateObject("Scripting.Dictionary")
d.Add "a", 1
On Error Resume Next
d.Add "a", 2
WScript.Echo Err.Number, Err.Description
Err.Clear
d.CompareMode = 1
WScript.Echo Err.Number
Err.Clear
d.Add "b", 2
d.Key("a") = "b"
WScript.Echo Err.Number
Err.Clear
WScript.Echo d("a"), d.Count
On Error GoTo 0
d.Add "b", 3
