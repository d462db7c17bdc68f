' The clock functions: their subtypes and how they relate.
n = Now
WScript.Echo TypeName(Now), TypeName(Date), TypeName(Time), TypeName(Timer)
WScript.Echo Date <= n, Int(CDbl(Date)) = CDbl(Date), CDbl(Time) < 1, Timer >= 0, Timer < 86400
WScript.Echo DateDiff("d", Date, Now), Year(Now) >= 2024
