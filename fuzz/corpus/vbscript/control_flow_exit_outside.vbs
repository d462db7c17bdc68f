WScript.Echo "x"
Exit For
