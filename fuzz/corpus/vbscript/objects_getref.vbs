' GetRef gives a callable object
Function Square(x)
  Square = x * x
End Function
Set f = GetRef("Square")
WScript.Echo f(7), TypeName(f)
