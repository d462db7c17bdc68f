' A later definition replaces an earlier one with the same name
Function Main()
  Main = "first"
End Function
WScript.Echo Main()
Function Main()
  Main = "second"
End Function
WScript.Echo Main()
ExecuteGlobal "Function Main() : Main = ""third"" : End Function"
WScript.Echo Main()
