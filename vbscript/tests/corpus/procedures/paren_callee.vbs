' A callee in parentheses is called with the arguments that follow it
Function Twice(n)
  WScript.Echo "twice", n
  Twice = n * 2
End Function
Class Greeter
  Function Hello()
    WScript.Echo "hello"
    Hello = "done"
  End Function
End Class
Dim y, arr
Call (Twice)(4)
y = (Twice)(5)
WScript.Echo y
Call (New Greeter).Hello()
y = (New Greeter).Hello()
WScript.Echo y
arr = Array(7, 8)
y = (arr)(1)
WScript.Echo y
