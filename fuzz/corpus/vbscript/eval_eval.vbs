' Eval evaluates an expression; = compares there
x = 6
WScript.Echo Eval("x * 7"), Eval("x = 6"), Eval("""a"" & ""b""")
Function Outer()
  Dim local
  local = 10
  Outer = Eval("local + 1")
End Function
WScript.Echo Outer()
