// Round-trips the properties of VELKO.CProductInfo from a JScript host.
var failures = 0;
function check(ok, what) {
  if (!ok) { WScript.Echo("FAIL: " + what); failures++; }
}
var names = ["ProductName", "ProductVersion", "Copyright", "WebsiteHREF",
             "ProductCompanyName", "ProductCompanyAddress", "EULAPath"];
var big = new Array(50001).join("yz");
var values = ["", "Product 2.0", "\u65e5\u672c \u00f1", "a\u0000b", "\udc00 lone", big];

var o = new ActiveXObject("VELKO.CProductInfo");
for (var i = 0; i < names.length; i++) {
  check(o[names[i]] === "", names[i] + " starts empty");
  for (var j = 0; j < values.length; j++) {
    o[names[i]] = values[j];
    check(o[names[i]] === values[j], names[i] + " round trip of length " + values[j].length);
  }
  o[names[i]] = undefined;  // an empty variant becomes the empty string
  check(o[names[i]] === "", names[i] + " = undefined reads back empty");
  // null has no string value: a type mismatch, as DISP_E_TYPEMISMATCH
  // (0x80020005, Wine's JScript passes it on as is) or JScript's own 0x800A000D.
  var mismatch = 0;
  try { o[names[i]] = null; } catch (e) { mismatch = e.number; }
  check(mismatch === -2147352571 || mismatch === -2146828275, names[i] + " = null gives " + mismatch);
}
o.EULAPath = "C:\\eula.rtf";
var second = new ActiveXObject("VELKO.CProductInfo");
check(o.EULAPath === "", "second object resets EULAPath");
o.AddURL("https://example.invalid", "Example");
o.ClearURLS();
var refused = 0;
try { o.AddURL("x"); } catch (e) { refused = e.number; }
check(refused !== 0, "AddURL with one argument fails");
WScript.Echo("jscript: " + failures + " failure(s)");
WScript.Quit(failures);
