WScript.Echo "fine"
WScript.Echo "never closed
