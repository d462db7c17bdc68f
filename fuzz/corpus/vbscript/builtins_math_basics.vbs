' Abs, Sgn, Int, Fix, Sqr and the transcendental functions.
WScript.Echo Abs(-5), Abs(3.5), Abs(0), Sgn(-2), Sgn(0), Sgn(7.5)
WScript.Echo Int(-2.5), Fix(-2.5), Int(2.7), Fix(2.7), Int(-0.1), Fix(-0.1)
WScript.Echo TypeName(Abs(-5)), TypeName(Abs(-5.5)), TypeName(Int(2.5)), TypeName(Fix(7)), TypeName(Sgn(1.5))
WScript.Echo Sqr(16), Sqr(2.25), Exp(0), Log(1), Sin(0), Cos(0), Atn(0), Tan(0)
WScript.Echo Round(Atn(1) * 4, 10), Round(Log(Exp(2)), 10), Round(Exp(1), 5)
WScript.Echo TypeName(Sqr(4)), TypeName(Sin(0))
