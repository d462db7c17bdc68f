Sub Show(a, b)
  WScript.Echo a, b
End Sub
Show 1, 2
Show(1, 2)
