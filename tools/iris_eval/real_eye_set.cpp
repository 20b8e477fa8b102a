#include "tools/iris_eval/real_eye_set.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace iriseval {
namespace {

// One CSV record with quoted fields ("" inside quotes is a quote).
std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

TruthCircle Circle(const std::vector<std::string>& row, int x, int y, int r) {
    TruthCircle c;
    if (x < 0 || r >= static_cast<int>(row.size()) || row[x].empty() || row[y].empty() || row[r].empty()) return c;
    c.known = true;
    c.x = std::atof(row[x].c_str());
    c.y = std::atof(row[y].c_str());
    c.r = std::atof(row[r].c_str());
    return c;
}

std::string GroupOf(const std::string& file) {
    const size_t slash = file.find_last_of('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const size_t cut = name.find('_');
    return cut == std::string::npos ? name : name.substr(0, cut);
}

}  // namespace

std::vector<RealEye> ReadTruth(const std::string& folder, std::string* error) {
    std::vector<RealEye> eyes;
    std::ifstream in(folder + "/truth.csv");
    std::string line;
    if (!in || !std::getline(in, line)) {
        *error = "cannot read " + folder + "/truth.csv";
        return eyes;
    }
    std::map<std::string, int> column;
    const std::vector<std::string> header = SplitCsv(line);
    for (size_t i = 0; i < header.size(); ++i) column[header[i]] = static_cast<int>(i);
    for (const char* name : {"file", "width", "height", "pupil_x", "pupil_y", "pupil_r", "iris_x", "iris_y", "iris_r"})
        if (!column.count(name)) {
            *error = std::string("truth.csv has no column ") + name;
            return eyes;
        }
    while (std::getline(in, line)) {
        const std::vector<std::string> row = SplitCsv(line);
        if (row.size() < header.size() - 1 || row[0].empty()) continue;  // a trailing empty cell may be cut
        RealEye eye;
        eye.file = row[column["file"]];
        eye.group = GroupOf(eye.file);
        eye.width = std::atoi(row[column["width"]].c_str());
        eye.height = std::atoi(row[column["height"]].c_str());
        eye.pupil = Circle(row, column["pupil_x"], column["pupil_y"], column["pupil_r"]);
        eye.iris = Circle(row, column["iris_x"], column["iris_y"], column["iris_r"]);
        eyes.push_back(eye);
    }
    return eyes;
}

bool LoadPng(const std::string& path, GrayPicture* out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_GRAY;
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->pixels.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, out->pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

void PlaceInWorkingImage(const GrayPicture& p, uint8_t* work, int* offsetX, int* offsetY) {
    const int w = std::min(p.width, kWorkSide), h = std::min(p.height, kWorkSide);
    const int ox = (kWorkSide - w) / 2, oy = (kWorkSide - h) / 2;
    const int sx = (p.width - w) / 2, sy = (p.height - h) / 2;  // a larger picture is cut centred
    long sum = 0, n = 0;
    for (int x = 0; x < w; ++x) sum += p.pixels[sy * p.width + sx + x] + p.pixels[(sy + h - 1) * p.width + sx + x], n += 2;
    for (int y = 0; y < h; ++y) sum += p.pixels[(sy + y) * p.width + sx] + p.pixels[(sy + y) * p.width + sx + w - 1], n += 2;
    const int border = static_cast<int>(sum / n);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x) {
            const int cx = std::clamp(x - ox, 0, w - 1), cy = std::clamp(y - oy, 0, h - 1);
            const int edge = p.pixels[(sy + cy) * p.width + sx + cx];
            const int away = std::max(std::abs(x - ox - cx), std::abs(y - oy - cy));
            const int fade = std::min(away, kPadFade);
            work[y * kWorkSide + x] = static_cast<uint8_t>((edge * (kPadFade - fade) + border * fade) / kPadFade);
        }
    *offsetX = ox - sx;
    *offsetY = oy - sy;
}

}  // namespace iriseval
