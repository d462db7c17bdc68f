' RegExp: Test, Execute with Matches and SubMatches, Replace.
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)\.com"
re.Global = True
Set ms = re.Execute("mail a@b.com and cc@dd.com")
WScript.Echo ms.Count, TypeName(re), TypeName(ms)
For Each m In ms
  WScript.Echo m.Value, m.FirstIndex, m.Length, m.SubMatches(0), m.SubMatches(1), m.SubMatches.Count
Next
WScript.Echo ms(1), ms.Item(0).Value, TypeName(ms(0))
WScript.Echo re.Replace("a@b.com, c@d.com", "$2 at $1")
WScript.Echo re.Test("none"), re.Test("x@y.com"), re.Pattern, re.Global, re.IgnoreCase
re.Pattern = "o"
re.Global = False
WScript.Echo re.Replace("foo", "0"), re.Execute("foo").Count
re.Global = True
WScript.Echo re.Replace("foo", "0"), re.Execute("foo").Count
re.Pattern = "HELLO"
WScript.Echo re.Test("say hello")
re.IgnoreCase = True
WScript.Echo re.Test("say hello")
re.Pattern = "^\d+$"
WScript.Echo re.Test("12" & vbLf & "34")
re.Multiline = True
WScript.Echo re.Test("12" & vbLf & "34"), re.Execute("12" & vbLf & "34").Count
re.Pattern = "(a)|(b)"
Set ms = re.Execute("b")
WScript.Echo ms.Count, "[" & ms(0).SubMatches(0) & "]", ms(0).SubMatches(1)
