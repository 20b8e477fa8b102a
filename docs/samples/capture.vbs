' Tavrik console sample (VBScript): opens the device, reads its serial,
' captures both eyes and prints the outcome, then closes the device.
'   cscript //nologo capture.vbs [eyeType]
' The capture's outcome arrives as the OnCapture event; a script host that
' cannot wait for events (WScript.Sleep and WScript.ConnectObject missing, as
' in some emulated hosts) starts the capture, stops it and says so.
Option Explicit
Dim eyeType, ctrl, outcomeResult, outcomeText, status, waiting, waited
eyeType = "3"
If WScript.Arguments.Count > 0 Then eyeType = WScript.Arguments(0)
Set ctrl = CreateObject("TAVRIK.TavrikCtrl.1")
outcomeResult = Empty

Sub ctrl_OnCapture(result, sIrisInfo)
    outcomeResult = result
    outcomeText = sIrisInfo
End Sub

Function CanWaitForEvents()
    On Error Resume Next
    WScript.ConnectObject ctrl, "ctrl_"
    WScript.Sleep 1
    CanWaitForEvents = (Err.Number = 0)
    Err.Clear
End Function

' Picks the members a person wants to see out of the record's JSON text.
Function Member(text, key)
    Dim re, matches
    Set re = New RegExp
    re.Pattern = """" & key & """:""([^""]*)"""
    Set matches = re.Execute(text)
    If matches.Count > 0 Then Member = matches(0).SubMatches(0) Else Member = ""
End Function

status = ctrl.IrisInit("{""white_brightness"":""240""}")
WScript.Echo "IrisInit: " & status
If status <> 0 Then WScript.Quit 1
WScript.Echo "serial: " & ctrl.GetDeivceSn()

waiting = CanWaitForEvents()
status = ctrl.StartCapture("{""eyeType"":""" & eyeType & """}")
WScript.Echo "StartCapture: " & status
If status = 0 And waiting Then
    waited = 0
    Do While IsEmpty(outcomeResult) And waited < 25000
        WScript.Sleep 100
        waited = waited + 100
    Loop
    If IsEmpty(outcomeResult) Then
        WScript.Echo "no OnCapture within 25 s; StopCapture: " & ctrl.StopCapture()
    Else
        WScript.Echo "OnCapture: " & outcomeResult & " flgResult " & Member(outcomeText, "flgResult") & _
                     " id " & Member(outcomeText, "ir_id") & " scores left " & Member(outcomeText, "zy_xxzlpf") & _
                     " right " & Member(outcomeText, "yy_xxzlpf")
    End If
ElseIf status = 0 Then
    WScript.Echo "this script host cannot wait for events; StopCapture: " & ctrl.StopCapture()
End If
status = ctrl.IrisClose()
WScript.Echo "IrisClose: " & status
If status = 0 Then WScript.Quit 0 Else WScript.Quit 1
