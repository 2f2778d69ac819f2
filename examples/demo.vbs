' The demo's host: a sample product shows its About box through VELKO.
'   cscript //nologo demo.vbs
Option Explicit
Dim about
Set about = CreateObject("VELKO.CProductInfo")
about.ProductName = "Contoso Draw"
about.ProductVersion = "4.2.1"
about.Copyright = "Copyright (c) 2026 Contoso Ltd."
about.WebsiteHREF = "https://contoso.example/"
about.EULAPath = "C:\Program Files\Contoso\Draw\EULA.rtf"
about.AddURL "https://contoso.example/support", "Contoso support and downloads"

' Blocks until the box is closed with OK or its close box.
WScript.Echo "ShowAboutBox returned " & about.ShowAboutBox()
