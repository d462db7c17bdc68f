' Err.Raise with and without source and description
On Error Resume Next
Err.Raise 1000
WScript.Echo Err.Number, Err.Description, Err.Source
Err.Raise 13
WScript.Echo Err.Number, Err.Description
Err.Raise vbObjectError + 7, "MyApp", "custom failure"
WScript.Echo Err.Number, Err.Source, Err.Description
Err.Raise 0
WScript.Echo Err.Number, Err.Description
On Error GoTo 0
Err.Raise 5000, "Shop", "Out of stock"
