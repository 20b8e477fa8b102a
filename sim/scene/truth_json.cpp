#include "sim/scene/truth_json.h"

#include <cstdio>

#include "sim/scene/scene_render.h"

namespace k7qsim {
namespace {

class JsonObject {
public:
    void Num(const char* key, double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.3f", v);
        Raw(key, buf);
    }
    void Int(const char* key, long long v) { Raw(key, std::to_string(v)); }
    void Bool(const char* key, bool v) { Raw(key, v ? "true" : "false"); }
    void Str(const char* key, const std::string& v) { Raw(key, "\"" + v + "\""); }
    void Raw(const char* key, const std::string& v) {
        text_ += text_.empty() ? "{" : ",";
        text_ += "\"" + std::string(key) + "\":" + v;
    }
    std::string Done() const { return (text_.empty() ? "{" : text_) + "}"; }

private:
    std::string text_;
};

}  // namespace

std::string GroundTruthJson(const GroundTruth& t, const EyeParams* p) {
    JsonObject eyeBox;
    eyeBox.Num("bottom", t.eyeBoxBottom);
    eyeBox.Num("left", t.eyeBoxLeft);
    eyeBox.Num("right", t.eyeBoxRight);
    eyeBox.Num("top", t.eyeBoxTop);
    JsonObject corners;
    corners.Num("innerX", t.innerCornerX);
    corners.Num("innerY", t.innerCornerY);
    corners.Num("outerX", t.outerCornerX);
    corners.Num("outerY", t.outerCornerY);
    JsonObject iris, pupil;
    iris.Num("r", t.irisRadius);
    iris.Num("x", t.irisX);
    iris.Num("y", t.irisY);
    pupil.Num("r", t.pupilRadius);
    pupil.Num("x", t.pupilX);
    pupil.Num("y", t.pupilY);
    std::string highlights = "[";
    const int placed = t.specularCount < 2 ? t.specularCount : 2;  // the truth keeps two places
    for (int i = 0; i < placed; ++i) {
        JsonObject s;
        s.Num("x", t.specularX[i]);
        s.Num("y", t.specularY[i]);
        highlights += (i ? "," : "") + s.Done();
    }
    highlights += "]";
    JsonObject o;
    o.Raw("corners", corners.Done());
    o.Num("defocusSigma", t.defocusSigma);
    o.Num("exposureFactor", t.exposureFactor);
    o.Str("eye", t.eye == Eye::Left ? "left" : "right");
    o.Raw("eyeBox", eyeBox.Done());
    o.Bool("eyeVisible", t.eyeVisible);
    o.Num("eyelidOpening", t.eyelidOpening);
    o.Int("glareCount", t.glareCount);
    o.Raw("iris", iris.Done());
    o.Num("irisVisibleFraction", t.irisVisibleFraction);
    o.Num("lowerLidY", t.lowerLidY);
    o.Num("motionBlurAngle", t.motionBlurAngle);
    o.Num("motionBlurLength", t.motionBlurLength);
    if (p) {
        JsonObject q;
        q.Num("centerX", p->centerX);
        q.Num("centerY", p->centerY);
        q.Num("defocusSigma", p->defocusSigma);
        q.Str("eye", p->eye == Eye::Left ? "left" : "right");
        q.Int("frameSeed", static_cast<long long>(p->frameSeed));
        q.Num("gazeX", p->gazeX);
        q.Num("gazeY", p->gazeY);
        q.Int("glareCount", p->glareCount);
        q.Num("irisRadius", p->irisRadius);
        q.Num("motionAngleDeg", p->motionAngleDeg);
        q.Num("motionLength", p->motionLength);
        q.Num("noise", p->noise);
        q.Num("opening", p->opening);
        q.Num("pupilOffsetX", p->pupilOffsetX);
        q.Num("pupilOffsetY", p->pupilOffsetY);
        q.Num("pupilRatio", p->pupilRatio);
        q.Num("scale", p->scale);
        q.Int("subjectSeed", static_cast<long long>(p->subjectSeed));
        q.Num("tiltDeg", p->tiltDeg);
        o.Raw("params", q.Done());
    }
    o.Bool("personPresent", t.personPresent);
    o.Raw("pupil", pupil.Done());
    o.Raw("speculars", highlights);
    o.Num("upperLidY", t.upperLidY);
    return o.Done();
}

}  // namespace k7qsim
