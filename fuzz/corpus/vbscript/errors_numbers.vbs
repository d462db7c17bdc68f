' Standard runtime errors and their texts
On Error Resume Next
Sub Show(label)
  WScript.Echo label, Err.Number, Err.Description
  Err.Clear
End Sub
x = CInt(40000) : Show "overflow"
x = 1 \ 0 : Show "int div"
x = "a" * 2 : Show "mismatch"
Set o = Nothing : x = o.Name : Show "not set"
x = Null : y = CLng(x) : Show "null"
x = 5 : x.Foo : Show "object required"
Set d = CreateObject("Scripting.Dictionary") : d.NoSuch : Show "no member"
Call d.Add("k", 1) : d.Add "k", 2 : Show "duplicate"
For Each v In 3 : Next : Show "collection"
x = Array(1)(4) : Show "subscript"
x = Mid("abc", 0) : Show "call"
x = Left("abc") : Show "argument count"
