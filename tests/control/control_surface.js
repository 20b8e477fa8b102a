// A script host's view of the control: created by ProgID, called by name,
// every synchronous status checked. Exits non-zero on any mismatch.
var failures = 0;
function expect(what, actual, expected) {
    if (actual !== expected) {
        WScript.Echo("FAIL " + what + ": got " + actual + ", expected " + expected);
        failures++;
    } else {
        WScript.Echo("ok   " + what + " = " + actual);
    }
}

var ctrl = new ActiveXObject("TAVRIK.TavrikCtrl.1");
expect('IrisInit("")', ctrl.IrisInit(""), -101);
expect('IrisInit("[1]")', ctrl.IrisInit("[1]"), -101);
expect('IrisInit(white_brightness "255")', ctrl.IrisInit('{"white_brightness":"255"}'), -110);
expect('IrisInit(white_brightness "-1")', ctrl.IrisInit('{"white_brightness":"-1"}'), -110);
expect('StartCapture before IrisInit', ctrl.StartCapture('{"eyeType":"3"}'), -107);
expect('StartCaptureStepTwo before IrisInit', ctrl.StartCaptureStepTwo('{"eyeType":"3"}'), -107);
expect('StartCaptureForce before IrisInit', ctrl.StartCaptureForce('{"eyeType":"3"}'), -107);
expect('StopCapture', ctrl.StopCapture(), -107);
expect('IrisClose', ctrl.IrisClose(), -106);
expect('ReSet', ctrl.ReSet(), 0);
expect('GetDeivceSn', ctrl.GetDeivceSn(), "unkown serial");
// Without a camera the device object cannot be opened.
expect('IrisInit(white_brightness "254")', ctrl.IrisInit('{"white_brightness":"254"}'), -1);
expect('IrisInit("{}")', ctrl.IrisInit("{}"), -1);
expect('IrisInit(number brightness)', ctrl.IrisInit('{"white_brightness":200}'), -1);
expect('ExtraceImage', ctrl.ExtraceImage("C:\\no-such.bmp"), -6);
// Script values of other types are converted to text.
expect('IrisInit(42)', ctrl.IrisInit(42), -101);
expect('IrisInit(null)', ctrl.IrisInit(null), -101);
expect('StartCapture(undefined)', ctrl.StartCapture(undefined), -107);
WScript.Quit(failures == 0 ? 0 : 1);
