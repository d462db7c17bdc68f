' Select Case with value lists
Function Kind(v)
  Select Case v
    Case 1, 2, 3
      Kind = "small"
    Case 4
      Kind = "four"
    Case Else
      Kind = "other"
  End Select
End Function
WScript.Echo Kind(2), Kind(4), Kind(99), Kind(Null)
n = 7
Select Case True
  Case n < 5
    WScript.Echo "lt5"
  Case n < 10
    WScript.Echo "lt10"
End Select
Select Case n
  Case 1
    WScript.Echo "not reached"
End Select
WScript.Echo "no case matched, nothing ran"
Select Case "y"
  Case "x", "y"
    WScript.Echo "letter"
End Select
' A numeric literal converts the text it is compared with
Select Case "4"
  Case 4
    WScript.Echo "text 4 matches literal 4"
End Select
Select Case "y"
  Case 1
    WScript.Echo "not reached"
End Select
