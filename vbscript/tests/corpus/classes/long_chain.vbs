' Releasing a long chain of objects frees every one, without running out of stack
Dim released
Class Node
  Public NextNode
  Private Sub Class_Terminate()
    released = released + 1
  End Sub
End Class
Set head = Nothing
For i = 1 To 100000
  Set n = New Node
  Set n.NextNode = head
  Set head = n
Next
Set n = Nothing
Set head = Nothing
WScript.Echo "released", released
