Function Down(n)
  Down = Down(n + 1)
End Function
On Error Resume Next
Down 1
WScript.Echo Err.Number, Err.Description
On Error GoTo 0
Down 1
