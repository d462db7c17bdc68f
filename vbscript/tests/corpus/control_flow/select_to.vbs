Select Case 5
  Case 1 To 9
    WScript.Echo "VBA only"
End Select
