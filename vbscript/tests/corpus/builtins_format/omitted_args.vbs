' An argument left out takes its parameter's default
WScript.Echo FormatNumber(1234.5,,,-1), FormatNumber(-1234.5,,,-1), FormatNumber(-1234.5, 1,,, 0)
WScript.Echo FormatCurrency(-1000,,,-1), FormatCurrency(1000, 0,,,)
WScript.Echo FormatPercent(0.25,,-1), FormatPercent(0.5, 1)
WScript.Echo Mid("abcdef", 2, ), Round(2.567, )
