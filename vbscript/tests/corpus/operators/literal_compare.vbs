' Comparisons with literals, Select Case subjects, and Single against Double
WScript.Echo "true" <> True, "True" = True, True = "True", "-1" = True
Dim t, s
t = True : s = "True"
WScript.Echo t = s, t < s, "42" = 42
Select Case 3
  Case "test" : WScript.Echo "text matched"
  Case "3" : WScript.Echo "three as text"
  Case 3 : WScript.Echo "three"
End Select
Select Case "3"
  Case 3 : WScript.Echo "converted by the Case value"
End Select
WScript.Echo CSng(0.1) = 0.1, 0.1 = CSng(0.1), CSng(0.1) < 0.1, CSng(1.1) = 1.1, CSng(0.1) = 0.10000001
Dim f, d
f = CSng(2.2) : d = 2.2
WScript.Echo f = d, f <> d, f >= d, CSng(3) = 3.0
WScript.Echo vbUseSystem, vbMsgBoxHelpButton, vbMsgBoxSetForeground, vbMsgBoxRight, vbMsgBoxRtlReading
WScript.Echo TypeName(vbMsgBoxHelpButton), TypeName(vbMsgBoxRtlReading)
