' Log of zero outside On Error ends the script.
WScript.Echo Log(Exp(1))
WScript.Echo Log(0)
