' On Error Resume Next, Err, On Error GoTo 0
On Error Resume Next
x = 1 / 0
WScript.Echo Err.Number, Err.Description, Err.Source
Err.Clear
WScript.Echo Err.Number, "[" & Err.Description & "]"
y = CInt("abc")
WScript.Echo Err.Number, Err, Err.Description
On Error GoTo 0
WScript.Echo Err.Number
On Error Resume Next
Dim a(1)
a(5) = 1
WScript.Echo Err.Number, Err.Description
z = Nothing
WScript.Echo Err.Number, Err.Description
Err.Number = 1234
WScript.Echo Err.Number
