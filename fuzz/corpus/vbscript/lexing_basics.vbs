' Names are case-insensitive; comments; continuation; separators
Dim MyVar : myvar = 1 : MYVAR = MyVar + 1 ' trailing comment
WScript.Echo myVAR
Rem a whole-line remark
x = 1 : Rem a remark after a separator
WScript.Echo "line " & _
   "continued " & _
   x
WSCRIPT.ECHO "upper-case keywords and members"
wscript.echo "He said ""hi""", """", Len("""")
WScript.Echo "tab" & vbTab & "end", Len(vbCrLf)
Dim [my odd name]
[my odd name] = "bracketed"
WScript.Echo [my odd name]
Dim [dim]
[dim] = 3
WScript.Echo [dim] * 2
