' A statement may share its line with Case, a procedure header or End
Dim a
For Each a In Array(1, 2, 3)
  Select Case a
    Case 1  WScript.Echo "one"
    Case 2  WScript.Echo "two" : WScript.Echo "still two"
    Case Else WScript.Echo "other"
  End Select
Next
Sub S() WScript.Echo "in S" End Sub
Function Twice(n) Twice = n * 2 End Function
S
WScript.Echo Twice(21)
a = True
If a Then WScript.Echo "then" End If
If Not a Then WScript.Echo "no" Else WScript.Echo "else" End If
If a Then End If
Sub T()
  If a Then WScript.Echo "nested" End If
  WScript.Echo "after"
End Sub
T
