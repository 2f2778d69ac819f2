' A VBScript host of the About box: a sample product with a link, a web site and
' a EULA path, then ShowAboutBox, which blocks until the box is closed (the test
' closes it from outside). Prints what the call returned.
Option Explicit
Dim about, result
Set about = CreateObject("VELKO.CProductInfo")
about.ProductName = "Sample Product"
about.ProductVersion = "1.2.3"
about.Copyright = "Copyright (c) 2026 Sample Company"
about.WebsiteHREF = "http://sample.example/"
about.EULAPath = "C:\Sample\EULA.rtf"
about.AddURL "http://sample.example/support", "Sample support"

On Error Resume Next
result = about.ShowAboutBox()
If Err.Number <> 0 Then
  WScript.Echo "ShowAboutBox failed: " & Err.Number & " " & Err.Description
  WScript.Quit 2
End If
On Error GoTo 0
WScript.Echo "ShowAboutBox returned " & TypeName(result) & " " & CStr(result)
If TypeName(result) = "Boolean" Then
  If result = False Then WScript.Quit 0
End If
WScript.Quit 1
