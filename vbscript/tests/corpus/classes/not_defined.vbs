Set x = New NoSuchClass
