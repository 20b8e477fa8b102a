// k7q-scene: renders the virtual K7Q's eye frames to files.
//   k7q-scene frame [--key value ...] -o out.pgm|out.bmp    one frame + out.json
//   k7q-scene random --seed N -o out.pgm                     a frame from the sampler
//   k7q-scene negative --kind interior|skin|closed|outside|eyebrow --seed N -o out.pgm
//   k7q-scene sequence --seed N --from MS --to MS --step MS --dir DIR [--backlight L]
//   k7q-scene sheet --seed N -o sheet.png                     contact sheet + sheet.txt
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "sim/scene/image_io.h"
#include "sim/scene/scene_render.h"
#include "sim/scene/tool/contact_sheet.h"
#include "sim/scene/truth_json.h"

namespace {

using namespace k7qsim;

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string Stem(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path : path.substr(0, dot);
}

bool WriteFrame(const std::string& path, const uint8_t* frame, const std::string& json) {
    const bool bmp = path.size() > 4 && path.compare(path.size() - 4, 4, ".bmp") == 0;
    const auto bytes = bmp ? EncodeBmp(frame, kFrameWidth, kFrameHeight) : EncodePgm(frame, kFrameWidth, kFrameHeight);
    return WriteFile(path, bytes) && WriteText(Stem(path) + ".json", json + "\n");
}

struct Args {
    std::map<std::string, std::string> kv;
    bool Has(const char* k) const { return kv.count(k) != 0; }
    double Num(const char* k, double dflt) const { return Has(k) ? std::strtod(kv.at(k).c_str(), nullptr) : dflt; }
    uint64_t Seed(const char* k, uint64_t dflt) const { return Has(k) ? std::strtoull(kv.at(k).c_str(), nullptr, 0) : dflt; }
    std::string Str(const char* k, const std::string& dflt) const { return Has(k) ? kv.at(k) : dflt; }
};

EyeParams ParamsFrom(const Args& a) {
    EyeParams p;
    p.subjectSeed = a.Seed("--seed", p.subjectSeed);
    p.eye = a.Str("--eye", "left") == "right" ? Eye::Right : Eye::Left;
    p.centerX = a.Num("--x", p.centerX);
    p.centerY = a.Num("--y", p.centerY);
    p.irisRadius = a.Num("--iris-radius", p.irisRadius);
    p.scale = a.Num("--scale", p.scale);
    p.pupilRatio = a.Num("--pupil", p.pupilRatio);
    p.pupilOffsetX = a.Num("--pupil-dx", p.pupilOffsetX);
    p.pupilOffsetY = a.Num("--pupil-dy", p.pupilOffsetY);
    p.opening = a.Num("--opening", p.opening);
    p.gazeX = a.Num("--gaze-x", p.gazeX);
    p.gazeY = a.Num("--gaze-y", p.gazeY);
    p.tiltDeg = a.Num("--tilt", p.tiltDeg);
    p.defocusSigma = a.Num("--defocus", p.defocusSigma);
    p.motionLength = a.Num("--motion", p.motionLength);
    p.motionAngleDeg = a.Num("--motion-angle", p.motionAngleDeg);
    p.noise = a.Num("--noise", p.noise);
    p.glareCount = static_cast<int>(a.Num("--glare", p.glareCount));
    p.frameSeed = a.Seed("--frame-seed", p.frameSeed);
    const std::string layout = a.Str("--reflections", "cornea");
    p.look.reflections = layout == "ring" ? Reflections::PupilRing
                         : layout == "pair" ? Reflections::PupilPair : Reflections::CorneaPair;
    p.look.pupilShade = a.Num("--pupil-shade", p.look.pupilShade);
    p.look.irisGain = a.Num("--iris-gain", p.look.irisGain);
    p.look.skinGain = a.Num("--skin-gain", p.look.skinGain);
    p.look.limbusWidth = a.Num("--limbus-width", p.look.limbusWidth);
    p.look.lashClusters = static_cast<int>(a.Num("--lash-clusters", p.look.lashClusters));
    return p;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: k7q-scene frame|random|negative|sequence|sheet [--key value ...] [-o file]\n"
                 "  frame keys: --seed --eye left|right --x --y --iris-radius --scale --pupil --pupil-dx\n"
                 "    --pupil-dy --opening --gaze-x --gaze-y --tilt --defocus --motion --motion-angle\n"
                 "    --noise --glare --frame-seed --backlight --gain\n"
                 "    --reflections cornea|ring|pair --pupil-shade --iris-gain --skin-gain --limbus-width --lash-clusters\n"
                 "  negative: --kind interior|skin|closed|outside|eyebrow --seed\n"
                 "  sequence: --seed --from --to --step (ms) --dir DIR --backlight\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string cmd = argv[1];
    Args a;
    for (int i = 2; i + 1 < argc; i += 2) a.kv[argv[i]] = argv[i + 1];
    CameraControls controls;
    controls.backlight = static_cast<int>(a.Num("--backlight", 230));
    controls.gain = static_cast<int>(a.Num("--gain", 0));
    std::vector<uint8_t> frame(kFrameBytes);
    SceneRenderer renderer;
    const std::string out = a.Str("-o", cmd == "sheet" ? "sheet.png" : "frame.pgm");
    if (cmd == "frame" || cmd == "random") {
        const EyeParams p = cmd == "frame" ? ParamsFrom(a) : RandomEyeParams(a.Seed("--seed", 1));
        const GroundTruth t = renderer.Render(p, controls, frame.data());
        return WriteFrame(out, frame.data(), GroundTruthJson(t, &p)) ? 0 : 1;
    }
    if (cmd == "negative") {
        const std::string kind = a.Str("--kind", "interior");
        for (int k = 0; k < kNegativeKinds; ++k) {
            const NegativeKind nk = static_cast<NegativeKind>(k);
            if (kind != NegativeName(nk)) continue;
            const uint64_t seed = a.Seed("--seed", 1);
            const GroundTruth t = renderer.RenderNegative(nk, seed, controls, frame.data());
            const EyeParams p = NegativeParams(nk, seed);
            return WriteFrame(out, frame.data(), GroundTruthJson(t, nk == NegativeKind::DeviceInterior ? nullptr : &p)) ? 0 : 1;
        }
        return Usage();
    }
    if (cmd == "sequence") {
        SceneTimeline timeline(a.Seed("--seed", 1));
        const std::string dir = a.Str("--dir", ".");
        const double from = a.Num("--from", 0), to = a.Num("--to", 3000), step = a.Num("--step", 33.3);
        int n = 0;
        for (double t = from; t <= to && step > 0; t += step, ++n)
            for (Eye eye : {Eye::Left, Eye::Right}) {
                const GroundTruth g = timeline.Render(eye, t, controls, frame.data());
                char name[64];
                std::snprintf(name, sizeof name, "/%s_%05d.pgm", eye == Eye::Left ? "left" : "right", n);
                if (!WriteFrame(dir + name, frame.data(), GroundTruthJson(g))) return 1;
            }
        return 0;
    }
    if (cmd == "sheet") {
        const ContactSheet s = BuildContactSheet(a.Seed("--seed", 7));
        std::string captions;
        for (size_t i = 0; i < s.captions.size(); ++i)
            captions += "row " + std::to_string(i / 4 + 1) + ", column " + std::to_string(i % 4 + 1) + ": " + s.captions[i] + "\n";
        return WriteFile(out, EncodePng(s.pixels.data(), s.width, s.height)) && WriteText(Stem(out) + ".txt", captions) ? 0 : 1;
    }
    return Usage();
}
