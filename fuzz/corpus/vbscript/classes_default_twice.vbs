Class Twice
  Public Default Function A()
  End Function
  Public Default Function B()
  End Function
End Class
