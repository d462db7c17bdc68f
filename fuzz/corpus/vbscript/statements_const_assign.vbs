Const Limit = 10
WScript.Echo Limit
Limit = 11
