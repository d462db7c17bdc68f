' Const and Option Explicit
Option Explicit
Const Greeting = "hello", Answer = 42, Neg = -5, Flag = True
Dim x
x = Answer + Neg
WScript.Echo Greeting, x, Flag, TypeName(Answer)
WScript.Echo y
