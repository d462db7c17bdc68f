Select Case 5
  Case Is > 3
    WScript.Echo "VBA only"
End Select
