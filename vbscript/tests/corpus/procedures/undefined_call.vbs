WScript.Echo "calling"
NotThere 1
