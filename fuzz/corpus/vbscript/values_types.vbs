' Subtypes, VarType and TypeName
Dim e
WScript.Echo VarType(e), VarType(Null), VarType(1), VarType(100000), VarType(CSng(1)), VarType(1.5)
WScript.Echo VarType(CCur(1)), VarType(Now), VarType("s"), VarType(True), VarType(CByte(1)), VarType(Array())
WScript.Echo TypeName(e), TypeName(Null), TypeName(Nothing), TypeName(Array(1)), TypeName(CByte(1))
Set d = CreateObject("Scripting.Dictionary")
WScript.Echo VarType(d), TypeName(d)
