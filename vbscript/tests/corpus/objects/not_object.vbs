x = 5
x.Run
