' New RegExp and CreateObject("VBScript.RegExp")
Set re = New RegExp
re.Pattern = "(\d+)-(\d+)"
WScript.Echo re.Test("call 555-1234 now"), re.Replace("555-1234", "$2-$1")
Set re2 = CreateObject("VBScript.RegExp")
re2.Pattern = "a"
re2.Global = True
WScript.Echo re2.Replace("banana", "o")
