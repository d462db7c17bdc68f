Dim o
Set o = Nothing
WScript.Echo "calling a member of Nothing"
o.Run
