' Functions, recursion, Exit, calls before definition
WScript.Echo Twice(21), Fib(15), Sign(-3), Sign(0), Sign(8)
Function Twice(n)
  Twice = n * 2
End Function
Function Fib(n)
  If n < 2 Then
    Fib = n
    Exit Function
  End If
  Fib = Fib(n - 1) + Fib(n - 2)
End Function
Function Sign(n)
  Sign = 0
  If n > 0 Then Sign = 1
  If n < 0 Then Sign = -1
End Function
Function NoResult()
End Function
WScript.Echo IsEmpty(NoResult()), TypeName(NoResult)
Sub Greet(who)
  If who = "" Then Exit Sub
  WScript.Echo "hello " & who
End Sub
Greet "world"
Greet ""
Call Greet("again")
Function Accumulate(ByVal n)
  Dim total, i
  For i = 1 To n
    total = total + i
  Next
  Accumulate = total
End Function
WScript.Echo Accumulate(100)
