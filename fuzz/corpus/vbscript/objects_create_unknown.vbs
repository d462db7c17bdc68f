Set x = CreateObject("No.Such.Thing")
