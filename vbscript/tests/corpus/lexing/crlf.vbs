' This file uses CR LF line ends, as files written on other systems do
x = 1
WScript.Echo "crlf", x
WScript.Echo "third line" _
  & " continued"
y = 1 / 0
