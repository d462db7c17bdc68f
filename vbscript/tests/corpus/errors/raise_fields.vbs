' Err.Raise keeps all five fields; raising the same number again keeps what it leaves out
On Error Resume Next
Err.Raise 1001, "Orders", "No such order", "orders.hlp", 42
WScript.Echo Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext
Err.Raise Err.Number
WScript.Echo Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext
Err.Raise Err.Number, , "Still missing"
WScript.Echo Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext
Err.Raise 1002
WScript.Echo Err.Number, Err.Source, Err.Description, "[" & Err.HelpFile & "]", Err.HelpContext
Err.Clear
x = 1 / 0
Err.Raise Err.Number
WScript.Echo Err.Number, Err.Source, Err.Description
' Numbers are normalized: VBScript's facility, then known platform codes
Err.Clear
Err.Raise &H800A000D
WScript.Echo Err.Number, Err.Description
Err.Raise &H8007000E
WScript.Echo Err.Number, Err.Description
Err.Raise &H80070057
WScript.Echo Err.Number, Err.Description
Err.Raise vbObjectError + 1, "App"
WScript.Echo Err.Number, Err.Source
Err.Clear
Err.Raise 65536
WScript.Echo Err.Number, Err.Description
Err.Clear
Err.Raise 65535, "Edge", "Highest"
WScript.Echo Err.Number, Err.Description
' The description is the plain text; only the report of an uncaught error names the culprit
Err.Clear
Set d = CreateObject("Scripting.Dictionary")
d.NoSuchMember
WScript.Echo Err.Number, Err.Description
Err.Clear
y = Left("abc")
WScript.Echo Err.Number, Err.Description
On Error GoTo 0
d.NoSuchMember
