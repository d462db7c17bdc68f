' A carriage return alone ends a line too (the formula bridge joins lines with one)
Execute "a = 1" & Chr(13) & "b = a + 1" & Chr(13) & "WScript.Echo a, b"
Execute "Function F(x)" & vbCr & "  F = x * 3" & vbCr & "End Function"
WScript.Echo F(5)
Execute "c = 2" & vbCrLf & "WScript.Echo c"
