' For Each over Matches and SubMatches; a pattern that matches nothing.
Set re = New RegExp
re.Pattern = "(\d+)-(\d+)"
re.Global = True
For Each m In re.Execute("1-2, 30-40")
  s = ""
  For Each g In m.SubMatches
    s = s & "<" & g & ">"
  Next
  WScript.Echo m, s
Next
Set none = re.Execute("no digits")
WScript.Echo none.Count, TypeName(none)
For Each m In none
  WScript.Echo "never"
Next
WScript.Echo re.Replace("no digits", "x"), re.Replace("7-8", "$2-$1"), re.Replace("1-2 3-4", "[$&]")
