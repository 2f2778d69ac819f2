' Round-trips every property of VELKO.CProductInfo from a VBScript host.
' Prints one line per failure and exits with the number of failures.
Option Explicit
Dim failures : failures = 0

Sub Check(ok, what)
  If Not ok Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

Dim o, p, v, names, values, big
names = Array("ProductName", "ProductVersion", "Copyright", "WebsiteHREF", _
              "ProductCompanyName", "ProductCompanyAddress", "EULAPath")
' Wine's VBScript has no ChrW, String or Eval; Chr gives non-ASCII through the
' ANSI code page (241 is U+00F1, 128 is U+20AC). JScript covers surrogates.
big = Replace(Space(100000), " ", "x") & Chr(128)
values = Array("", "Product 1.0", "Se" & Chr(241) & "or " & Chr(128), "a" & Chr(0) & "b", "  padded  ", big)

' Property access by name without Eval/Execute, which Wine's VBScript does not run.
Function GetP(obj, name)
  Select Case name
    Case "ProductName": GetP = obj.ProductName
    Case "ProductVersion": GetP = obj.ProductVersion
    Case "Copyright": GetP = obj.Copyright
    Case "WebsiteHREF": GetP = obj.WebsiteHREF
    Case "ProductCompanyName": GetP = obj.ProductCompanyName
    Case "ProductCompanyAddress": GetP = obj.ProductCompanyAddress
    Case "EULAPath": GetP = obj.EULAPath
  End Select
End Function

Sub SetP(obj, name, value)
  Select Case name
    Case "ProductName": obj.ProductName = value
    Case "ProductVersion": obj.ProductVersion = value
    Case "Copyright": obj.Copyright = value
    Case "WebsiteHREF": obj.WebsiteHREF = value
    Case "ProductCompanyName": obj.ProductCompanyName = value
    Case "ProductCompanyAddress": obj.ProductCompanyAddress = value
    Case "EULAPath": obj.EULAPath = value
  End Select
End Sub

Set o = CreateObject("VELKO.CProductInfo")
For Each p In names
  Check GetP(o, p) = "", p & " starts empty"
  For Each v In values
    SetP o, p, v
    Check GetP(o, p) = v, p & " round trip of length " & Len(v)
  Next
  SetP o, p, Empty
  Check GetP(o, p) = "", p & " = Empty reads back empty"
Next

' A second object resets what the first stored, for every object of the thread.
o.ProductName = "kept?"
Dim second : Set second = CreateObject("VELKO.CProductInfo")
Check o.ProductName = "", "second object resets ProductName"
second.Copyright = "(c) shared"
Check o.Copyright = "(c) shared", "objects of a thread share ProductInfo"

' The icon starts as Nothing and takes Nothing back.
Check o.ProductIcon Is Nothing, "ProductIcon starts as Nothing"
Set o.ProductIcon = Nothing
Check o.ProductIcon Is Nothing, "ProductIcon set to Nothing"

' Links take any text.
o.AddURL "https://example.invalid/a|b", "text|more"
o.AddURL "", ""
o.ClearURLS

' A wrong argument type is a type mismatch (13), and the value stays.
o.ProductName = "before"
On Error Resume Next
o.ProductName = Array(1, 2)
Check Err.Number = 13, "array into a string property gives 13, got " & Err.Number
Err.Clear
o.AddURL "only one"
Check Err.Number <> 0, "AddURL with one argument fails"
Err.Clear
On Error GoTo 0
Check o.ProductName = "before", "failed put leaves the value"

WScript.Echo "vbscript: " & failures & " failure(s)"
WScript.Quit failures
