' Under Option Explicit the undefined name is reported only when the error is not caught
Option Explicit
On Error Resume Next
WScript.Echo undefinedThing
WScript.Echo Err.Number, Err.Description
On Error GoTo 0
WScript.Echo otherThing
