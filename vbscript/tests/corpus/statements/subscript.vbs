Dim a(2)
a(2) = 1
WScript.Echo "in range"
a(3) = 1
