WScript.Echo "compile errors stop the whole file: this line never prints"
x = 1 2
