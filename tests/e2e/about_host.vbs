' A VBScript host: create, a property round trip, an error's number and text,
' then the About box, which returns once the test closes it from outside. When
' nothing is registered, only creation's error number.
On Error Resume Next
Set about = CreateObject("VELKO.CProductInfo")
If Err.Number <> 0 Then WScript.Echo "CreateObject failed: " & Err.Number : WScript.Quit 1
about.ProductName = Array(1, 2)
mismatch = Err.Number & " " & Err.Description
On Error GoTo 0
about.ProductName = "Sample Product"
about.ProductVersion = "1.2.3"
about.Copyright = "Copyright (c) 2026 Sample Company"
about.EULAPath = "C:\Sample\EULA.rtf"
about.AddURL "http://sample.example/support", "Sample support"
WScript.Echo "vbscript: " & about.ProductName & " " & about.ProductVersion & ", " & mismatch
result = about.ShowAboutBox()
WScript.Echo "ShowAboutBox returned " & TypeName(result) & " " & Abs(result)
