' The late-bound path from a VBScript host: create, a property round trip, an
' error's number and text. With an argument, only what creation reports.
On Error Resume Next
Set o = CreateObject("VELKO.CProductInfo")
If WScript.Arguments.Count > 0 Then
  WScript.Echo "vbscript: " & Err.Number
  WScript.Quit
End If
On Error GoTo 0
o.ProductName = "Widget"
o.ProductVersion = 2.5
line = "vbscript: " & o.ProductName & " " & o.ProductVersion
On Error Resume Next
o.ProductName = Array(1, 2)
WScript.Echo line & ", " & Err.Number & " " & Err.Description
