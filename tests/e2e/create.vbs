' Prints the error number of CreateObject("VELKO.CProductInfo"), 0 on success.
On Error Resume Next
Dim o : Set o = CreateObject("VELKO.CProductInfo")
WScript.Echo "create: " & Err.Number
WScript.Quit Err.Number
