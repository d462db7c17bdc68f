' Do and While loops
i = 0
Do While i < 3
  i = i + 1
Loop
WScript.Echo "while", i
Do Until i = 0
  i = i - 1
Loop
WScript.Echo "until", i
Do
  i = i + 1
Loop While i < 5
WScript.Echo "loop while", i
Do
  i = i + 1
Loop Until True
WScript.Echo "body runs once", i
Do
  i = i + 1
  If i >= 10 Then Exit Do
Loop
WScript.Echo "exit do", i
While i > 7
  i = i - 1
Wend
WScript.Echo "wend", i
Do While Null
  WScript.Echo "null condition is false"
Loop
' Exit Do leaves only the inner loop
For j = 1 To 2
  Do
    Exit Do
  Loop
  k = k + 1
Next
WScript.Echo "outer ran", k
