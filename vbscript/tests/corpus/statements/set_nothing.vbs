' Set, Nothing, IsObject, objects in variables
Dim d, e
Set d = CreateObject("Scripting.Dictionary")
WScript.Echo IsObject(d), TypeName(d)
Set e = d
e.Add "k", "v"
WScript.Echo d.Count, d("k")
Set d = Nothing
WScript.Echo IsObject(d), TypeName(d), e.Count
Set d = 5
