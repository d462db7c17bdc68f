Err.Raise vbObjectError + 513, "Orders", "Order not found"
