' Domain errors raise 5, results too large raise 6, text that is no number 13.
On Error Resume Next
x = Log(0)
WScript.Echo Err.Number
Err.Clear
x = Log(-1)
WScript.Echo Err.Number
Err.Clear
x = Sqr(-1)
WScript.Echo Err.Number
Err.Clear
x = Exp(1000)
WScript.Echo Err.Number, Err.Description
Err.Clear
x = Round(1.5, -1)
WScript.Echo Err.Number
Err.Clear
x = Sqr("abc")
WScript.Echo Err.Number, Err.Description
Err.Clear
x = Abs("x")
WScript.Echo Err.Number
Err.Clear
WScript.Echo Abs("-3"), Sqr("9")
