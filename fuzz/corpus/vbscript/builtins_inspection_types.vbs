' TypeName and VarType of every subtype.
WScript.Echo TypeName(1), TypeName(70000), TypeName(1.5), TypeName("s"), TypeName(True), TypeName(Empty), TypeName(Null)
WScript.Echo TypeName(Nothing), TypeName(Array()), TypeName(CCur(1)), TypeName(CByte(1)), TypeName(CSng(1)), TypeName(Now)
WScript.Echo VarType(1), VarType(70000), VarType(1.5), VarType("s"), VarType(True), VarType(Empty), VarType(Null)
WScript.Echo VarType(Array()), VarType(Array(1, 2)), VarType(CCur(1)), VarType(Now), VarType(CByte(1)), VarType(CSng(1))
Set re = New RegExp
Set d = CreateObject("Scripting.Dictionary")
WScript.Echo TypeName(re), TypeName(d), VarType(Nothing)
WScript.Echo TypeName(TypeName(1)), TypeName(VarType(1))
