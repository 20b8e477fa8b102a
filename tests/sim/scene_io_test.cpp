// Picture encoders and the JSON truth.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstring>
#include <string>

#include "sim/scene/image_io.h"
#include "sim/scene/truth_json.h"
#include "tests/sim/scene_test_util.h"

namespace {

using namespace k7qsim;

uint32_t Be32(const std::vector<uint8_t>& v, size_t at) {
    return (uint32_t{v[at]} << 24) | (uint32_t{v[at + 1]} << 16) | (uint32_t{v[at + 2]} << 8) | v[at + 3];
}
uint32_t Le32(const std::vector<uint8_t>& v, size_t at) {
    return v[at] | (uint32_t{v[at + 1]} << 8) | (uint32_t{v[at + 2]} << 16) | (uint32_t{v[at + 3]} << 24);
}

TEST(SceneIoTest, PngChunksCheckAndStoredBlocksGiveThePixelsBack) {
    const int w = 300, h = 250;  // more than one 64 KiB stored block
    std::vector<uint8_t> px(w * h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 7 + i / w);
    const std::vector<uint8_t> png = EncodePng(px.data(), w, h);
    ASSERT_EQ(png[1], 'P');
    std::vector<uint8_t> idat;
    for (size_t at = 8; at < png.size();) {
        const uint32_t len = Be32(png, at);
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        EXPECT_EQ(Be32(png, at + 8 + len), Crc32(png.data() + at + 4, len + 4)) << type;
        if (type == "IHDR") {
            EXPECT_EQ(Be32(png, at + 8), uint32_t(w));
            EXPECT_EQ(Be32(png, at + 12), uint32_t(h));
        }
        if (type == "IDAT") idat.assign(png.begin() + at + 8, png.begin() + at + 8 + len);
        if (type == "IEND") {
            EXPECT_EQ(Be32(png, at + 8), 0xAE426082u);
        }
        at += 12 + len;
    }
    ASSERT_GT(idat.size(), 6u);
    std::vector<uint8_t> raw;
    size_t at = 2;
    for (bool last = false; !last;) {
        last = idat[at] & 1;
        const uint32_t n = idat[at + 1] | (idat[at + 2] << 8), nn = idat[at + 3] | (idat[at + 4] << 8);
        ASSERT_EQ(n ^ 0xFFFF, nn);
        raw.insert(raw.end(), idat.begin() + at + 5, idat.begin() + at + 5 + n);
        at += 5 + n;
    }
    ASSERT_EQ(raw.size(), size_t(w + 1) * h);
    EXPECT_EQ(Be32(idat, at), Adler32(raw.data(), raw.size()));
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(raw[y * (w + 1)], 0);
        EXPECT_EQ(0, memcmp(&raw[y * (w + 1) + 1], &px[y * w], w)) << y;
    }
}

TEST(SceneIoTest, BmpIsBottomUpGrayWithPaddedRows) {
    const int w = 5, h = 3;
    const uint8_t px[w * h] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::vector<uint8_t> bmp = EncodeBmp(px, w, h);
    EXPECT_EQ(Le32(bmp, 10), 1078u);
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 22), uint32_t(h));
    EXPECT_EQ(Le32(bmp, 54 + 4 * 200), 200u | (200u << 8) | (200u << 16));
    EXPECT_EQ(bmp[1078], 11);      // the bottom row comes first
    EXPECT_EQ(bmp[1078 + 8], 6);   // rows padded to 8 bytes
    const std::vector<uint8_t> pgm = EncodePgm(px, w, h);
    EXPECT_EQ(std::string(pgm.begin(), pgm.begin() + 11), "P5\n5 3\n255\n");
}

TEST(SceneIoTest, JsonCarriesTheTruth) {
    SceneRenderer r;
    scenetest::Frame f = scenetest::NewFrame();
    EyeParams p;
    p.subjectSeed = 70;
    p.eye = Eye::Right;
    p.motionLength = 9;
    const GroundTruth t = r.Render(p, CameraControls{}, f.data());
    Json::Value v;
    Json::Reader reader;
    ASSERT_TRUE(reader.parse(GroundTruthJson(t, &p), v));
    EXPECT_EQ(v["eye"].asString(), "right");
    EXPECT_EQ(v["eyeVisible"].asBool(), t.eyeVisible);
    EXPECT_NEAR(v["pupil"]["r"].asDouble(), t.pupilRadius, 1e-3);
    EXPECT_NEAR(v["iris"]["x"].asDouble(), t.irisX, 1e-3);
    EXPECT_NEAR(v["eyeBox"]["top"].asDouble(), t.eyeBoxTop, 1e-3);
    EXPECT_NEAR(v["motionBlurLength"].asDouble(), 9, 1e-3);
    EXPECT_EQ(v["speculars"].size(), unsigned(t.specularCount));
    EXPECT_EQ(v["params"]["subjectSeed"].asUInt64(), 70u);
}

}  // namespace
