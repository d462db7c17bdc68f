' Objects referring to objects; a small linked list
Class Node
  Public Value, NextNode
End Class
Dim head, n, i
Set head = Nothing
For i = 1 To 4
  Set n = New Node
  n.Value = i * i
  Set n.NextNode = head
  Set head = n
Next
Set n = head
Do Until n Is Nothing
  s = s & n.Value & " "
  Set n = n.NextNode
Loop
WScript.Echo s
