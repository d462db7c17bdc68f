' Scripting.Dictionary: adding, reading, renaming, removing, enumerating.
Set d = CreateObject("Scripting.Dictionary")
d.Add "a", 1
d.Add "b", 2
d("c") = 3
WScript.Echo d.Count, d("a"), d.Item("b"), d.Exists("c"), d.Exists("z"), d.Exists("A"), TypeName(d)
For Each k In d
  WScript.Echo k, d(k)
Next
WScript.Echo Join(d.Keys, ","), Join(d.Items, ","), UBound(d.Keys), TypeName(d.Items)
d.Key("a") = "first"
WScript.Echo Join(d.Keys, ","), d("first")
d.Item("b") = 20
d.Remove "c"
WScript.Echo Join(d.Keys, ","), Join(d.Items, ",")
x = d("missing")
WScript.Echo d.Count, IsEmpty(x), d.Exists("missing")
d.Add 1, "one"
WScript.Echo d(1), d.Exists("1"), d.CompareMode
d.RemoveAll
WScript.Echo d.Count, UBound(d.Keys)
d.CompareMode = 1
d.Add "Key", "v"
WScript.Echo d.Exists("KEY"), d("kEy"), d.CompareMode
Set inner = CreateObject("Scripting.Dictionary")
inner("x") = 1
Set d("obj") = inner
WScript.Echo d("obj")("x"), TypeName(d("obj"))
