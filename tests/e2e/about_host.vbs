' A VBScript host of the About box: a sample product, then ShowAboutBox, which
' returns once the box is closed (the test closes it from outside).
Set about = CreateObject("VELKO.CProductInfo")
about.ProductName = "Sample Product"
about.ProductVersion = "1.2.3"
about.Copyright = "Copyright (c) 2026 Sample Company"
about.EULAPath = "C:\Sample\EULA.rtf"
about.AddURL "http://sample.example/support", "Sample support"
result = about.ShowAboutBox()
WScript.Echo "ShowAboutBox returned " & TypeName(result) & " " & Abs(result)
