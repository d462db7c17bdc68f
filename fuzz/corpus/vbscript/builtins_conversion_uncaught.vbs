' A failed conversion outside On Error ends the script with the runtime error.
WScript.Echo CInt("12")
On Error Resume Next
x = CInt("abc")
WScript.Echo Err.Number, Err.Source
On Error GoTo 0
x = CInt("abc")
WScript.Echo "not reached"
