// An example JScript host (late binding): run with cscript after registration.
var about;
try {
  about = new ActiveXObject("VELKO.CProductInfo");
} catch (e) {
  // Said here: a script host may end silently on an uncaught error.
  WScript.Echo("VELKO.CProductInfo is not available: 0x" + (e.number >>> 0).toString(16));
  WScript.Quit(1);
}
about.ProductName = "Contoso Draw";
about.ProductVersion = "4.2";
about.Copyright = "Copyright (c) 2026 Contoso";
about.WebsiteHREF = "https://contoso.example";
about.AddURL("https://contoso.example/support", "Support");
WScript.Echo("created: " + about.ProductName + " " + about.ProductVersion);
