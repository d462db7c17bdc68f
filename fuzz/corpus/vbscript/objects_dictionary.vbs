' Host-style objects: CreateObject, default members, For Each, chained calls
Set d = CreateObject("Scripting.Dictionary")
d.Add "apple", 3
d("pear") = 5
d.Item("plum") = 7
WScript.Echo d.Count, d("apple"), d.Item("pear"), d.Exists("plum"), d.Exists("fig")
total = 0
For Each k In d.Keys
  total = total + d(k)
Next
WScript.Echo total
Set outer = CreateObject("Scripting.Dictionary")
outer.Add "inner", d
WScript.Echo outer("inner")("plum"), outer.Item("inner").Item("apple")
Set nested = outer("inner")
nested.Remove "apple"
WScript.Echo d.Count
