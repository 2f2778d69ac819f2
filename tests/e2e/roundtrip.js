// The late-bound path from a JScript host: create, a property round trip, an
// error's number (Wine's JScript passes the component's code on, without a text).
var o = new ActiveXObject("VELKO.CProductInfo");
o.ProductName = "Widget";
o.ProductVersion = 2.5;
var line = "jscript: " + o.ProductName + " " + o.ProductVersion;
try { o.ProductName = null; } catch (e) { line += ", " + e.number; }
WScript.Echo(line);
