On Error Resume Next
WScript.Echo WScript.Arguments.Count
x = WScript.Arguments(0)
WScript.Echo Err.Number
