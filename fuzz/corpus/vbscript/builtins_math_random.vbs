' Rnd with a negative argument always gives the same value and restarts
' the sequence from it; Rnd(0) repeats the last value.
a = Rnd(-1)
b = Rnd
c = Rnd(0)
WScript.Echo a, TypeName(a), b = c
x = Rnd(-1)
WScript.Echo x = a, Rnd = b
ok = True
For i = 1 To 1000
  r = Rnd
  If r < 0 Or r >= 1 Then ok = False
  n = Int(r * 6) + 1
  If n < 1 Or n > 6 Then ok = False
Next
WScript.Echo ok
' Randomize with a number after Rnd(-1) replays the same sequence.
Rnd -1
Randomize 5
p = Rnd
q = Rnd
Rnd -1
Randomize 5
WScript.Echo p = Rnd, q = Rnd, p <> q
