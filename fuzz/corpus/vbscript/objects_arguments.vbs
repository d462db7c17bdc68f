' WScript.Arguments
Set args = WScript.Arguments
WScript.Echo args.Count, args(0), args.Item(1)
For Each a In args
  s = s & "[" & a & "]"
Next
WScript.Echo s
WScript.Echo "several", "values", 1, True
WScript.Echo
WScript.Echo "quit next"
WScript.Quit 3
WScript.Echo "not printed"
