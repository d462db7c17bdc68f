On Error Resume Next
x = Eval("1 +")
WScript.Echo Err.Number, Err.Description
Err.Clear
x = Eval("1 / 0")
WScript.Echo Err.Number, Err.Description
On Error GoTo 0
Execute "y = 1" & vbCrLf & "y = y /"
