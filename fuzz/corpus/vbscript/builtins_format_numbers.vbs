' FormatNumber, FormatCurrency and FormatPercent as the en-US locale writes
' them: two decimals by default, "," between thousands, halves away from zero.
WScript.Echo FormatNumber(1234567.891), FormatNumber(1234.5, 0), FormatNumber(2.5, 0), FormatNumber(0.125, 2)
WScript.Echo FormatNumber(0.5, 2, 0), FormatNumber(0.5, 2, -1), FormatNumber(-1234.5, 2, -1, -1), FormatNumber(-1234.5, 2, -1, 0)
WScript.Echo FormatNumber(1234.5, 2, -1, 0, 0), FormatNumber(1234.5, 2, -1, 0, -1), FormatNumber(12), FormatNumber("3.14159", 3)
WScript.Echo FormatNumber(999.999), FormatNumber(-0.5, 0), FormatNumber(1000000, 0), FormatNumber(0)
WScript.Echo FormatCurrency(1234.5), FormatCurrency(0.5), FormatCurrency(1234.567, 0)
WScript.Echo FormatPercent(0.25), FormatPercent(0.12345, 1), FormatPercent(1), FormatPercent(-0.5, 0), FormatPercent(12.5, 0)
WScript.Echo TypeName(FormatNumber(1)), TypeName(FormatCurrency(1)), TypeName(FormatPercent(1))
On Error Resume Next
x = FormatNumber("abc")
WScript.Echo Err.Number
Err.Clear
x = FormatPercent("x", 1)
WScript.Echo Err.Number
Err.Clear
