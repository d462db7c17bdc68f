' Block and single-line If
x = 5
If x > 3 Then WScript.Echo "single"
If x > 10 Then WScript.Echo "no" Else WScript.Echo "else branch"
If x = 5 Then WScript.Echo "a" : WScript.Echo "b" Else WScript.Echo "c"
If x = 1 Then
  WScript.Echo "one"
ElseIf x = 5 Then
  WScript.Echo "five"
ElseIf x > 1 Then
  WScript.Echo "never: first match wins"
Else
  WScript.Echo "other"
End If
If x < 0 Then
  WScript.Echo "negative"
Else
  WScript.Echo "not negative"
End If
If "True" Then WScript.Echo "text True is true"
If 0 Then WScript.Echo "zero" Else WScript.Echo "zero is false"
If Empty Then WScript.Echo "empty" Else WScript.Echo "empty is false"
If x > 1 Then If x > 4 Then WScript.Echo "nested single-line"
