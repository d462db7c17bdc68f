' Is compares object identity; both sides must be objects
Dim d1, d2, n
Set d1 = CreateObject("Scripting.Dictionary")
Set d2 = d1
WScript.Echo d1 Is d2, d1 Is Nothing, Nothing Is Nothing
Set d2 = CreateObject("Scripting.Dictionary")
WScript.Echo d1 Is d2
WScript.Echo n Is Nothing
