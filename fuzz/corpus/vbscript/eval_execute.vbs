' Execute runs statements in the current scope; ExecuteGlobal in the global one
Execute "a = 1 : b = 2"
WScript.Echo a + b
Sub Local()
  Dim v
  v = 1
  Execute "v = v + 41"
  WScript.Echo "local", v
End Sub
Local
ExecuteGlobal "Function Made(n) : Made = n & n : End Function"
WScript.Echo Made(4)
ExecuteGlobal "Dim shared : shared = ""set globally"""
WScript.Echo shared
