' Creating and releasing VELKO.CProductInfo from VBScript against the same for
' Scripting.Dictionary, in alternating rounds. Prints one line per round,
' "<case> <progid> <microseconds per object>"; scripts/bench.sh takes the medians.
' (No arrays here: passing a ReDim'd array to a function crashes Wine 8's VBScript.)
Option Explicit
Const kPerRound = 1000
Const kRounds = 9

Function RoundTime(progid)
  Dim t, i, o
  t = Timer
  For i = 1 To kPerRound
    Set o = CreateObject(progid)
    Set o = Nothing
  Next
  RoundTime = (Timer - t) / kPerRound * 1000000
End Function

Sub Rounds(title)
  Dim r
  RoundTime "VELKO.CProductInfo" : RoundTime "Scripting.Dictionary"
  For r = 1 To kRounds
    WScript.Echo title & " ours " & RoundTime("VELKO.CProductInfo")
    WScript.Echo title & " dictionary " & RoundTime("Scripting.Dictionary")
  Next
End Sub

Dim keeper
Set keeper = CreateObject("VELKO.CProductInfo")
Rounds "kept"
Set keeper = Nothing
Rounds "alone"
