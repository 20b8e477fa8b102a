// A script host's first contact with an installed control: created by ProgID,
// answering its synchronous calls. Exits non-zero when it cannot.
var ctrl = new ActiveXObject("TAVRIK.TavrikCtrl.1");
var reset = ctrl.ReSet();
var closeStatus = ctrl.IrisClose();
WScript.Echo("ReSet " + reset + ", IrisClose " + closeStatus);
WScript.Quit(reset === 0 && closeStatus === -106 ? 0 : 1);
