// An example JScript host (late binding): run with cscript after registration.
var about = new ActiveXObject("VELKO.CProductInfo");
about.ProductName = "Contoso Draw";
about.ProductVersion = "4.2";
about.Copyright = "Copyright (c) 2026 Contoso";
about.WebsiteHREF = "https://contoso.example";
about.AddURL("https://contoso.example/support", "Support");
WScript.Echo("created: " + about.ProductName + " " + about.ProductVersion);
