WScript.Echo "after a byte order mark"
