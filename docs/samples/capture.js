// Tavrik console sample (JScript): opens the device, reads its serial,
// captures both eyes and prints the outcome, then closes the device.
//   cscript //nologo capture.js [eyeType]
// The capture's outcome arrives as the OnCapture event; a script host that
// cannot wait for events (WScript.Sleep and WScript.ConnectObject missing, as
// in some emulated hosts) starts the capture, stops it and says so.
var eyeType = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "3";
var ctrl = new ActiveXObject("TAVRIK.TavrikCtrl.1");
var outcome = null;

function ctrl_OnCapture(result, sIrisInfo) {
    outcome = { result: result, text: sIrisInfo };
}

function canWaitForEvents() {
    try {
        WScript.ConnectObject(ctrl, "ctrl_");
        WScript.Sleep(1);
        return true;
    } catch (e) {
        return false;
    }
}

// Picks the members a person wants to see out of the record's JSON text.
function member(text, key) {
    var match = new RegExp('"' + key + '":"([^"]*)"').exec(text);
    return match ? match[1] : "";
}

var status = ctrl.IrisInit('{"white_brightness":"240"}');
WScript.Echo("IrisInit: " + status);
if (status !== 0) WScript.Quit(1);
WScript.Echo("serial: " + ctrl.GetDeivceSn());

var waiting = canWaitForEvents();
status = ctrl.StartCapture('{"eyeType":"' + eyeType + '"}');
WScript.Echo("StartCapture: " + status);
if (status === 0 && waiting) {
    for (var waited = 0; outcome === null && waited < 25000; waited += 100) WScript.Sleep(100);
    if (outcome === null) {
        WScript.Echo("no OnCapture within 25 s; StopCapture: " + ctrl.StopCapture());
    } else {
        WScript.Echo("OnCapture: " + outcome.result + " flgResult " + member(outcome.text, "flgResult") +
                     " id " + member(outcome.text, "ir_id") + " scores left " + member(outcome.text, "zy_xxzlpf") +
                     " right " + member(outcome.text, "yy_xxzlpf"));
    }
} else if (status === 0) {
    WScript.Echo("this script host cannot wait for events; StopCapture: " + ctrl.StopCapture());
}
status = ctrl.IrisClose();
WScript.Echo("IrisClose: " + status);
WScript.Quit(status === 0 ? 0 : 1);
