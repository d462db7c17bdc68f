WScript.Echo "before"
x = 5 $ 3
