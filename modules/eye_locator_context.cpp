// Supported frame sizes, the geometry derived from them, and the context that
// holds every buffer a detection works in (allocated once per initialisation).
#include <cstddef>
#include <new>

#include "modules/eye_locator_stages.h"

namespace eyeloc {

namespace {

constexpr SizeRow kSizes[] = {
    {1920, 1080, 8, 61}, {1920, 960, 8, 1},   {1280, 960, 8, 1},   {640, 480, 5, 1},
    {2280, 1080, 10, 1}, {2280, 1440, 10, 1}, {2560, 1080, 8, 11}, {2560, 1920, 10, 1},
    {2688, 1944, 12, 11}, {3840, 2160, 15, 1}, {960, 720, 8, 41},
};

// Ceiling of a / 4 for a positive or zero numerator; no positions otherwise.
int32_t Positions(int32_t span) { return span <= 0 ? 0 : (span + 3) / 4; }

void BuildLists(Context* c) {
    const Geometry& g = c->g;
    for (int s = 0; s < kScales; ++s) {
        int32_t* out = c->lists + g.listStart[s];
        const int32_t cellH = kScaleShapes[s].windowH / 4, cellW = kScaleShapes[s].windowW / 4;
        for (int32_t p = 0; p < kPlanes; ++p)
            for (int32_t col = 0; col < cellW; ++col)
                for (int32_t row = 0; row < cellH; ++row) *out++ = p * g.cells + row * g.cellCols + col;
    }
}

}  // namespace

const ScaleShape kScaleShapes[kScales] = {
    {20, 36, 12, 24}, {24, 48, 16, 32}, {32, 60, 20, 40}, {36, 72, 24, 48}, {44, 84, 28, 56}, {48, 96, 32, 64},
};

const SizeRow* FindSize(int32_t width, int32_t height) {
    for (const SizeRow& row : kSizes)
        if (row.width == width && row.height == height) return &row;
    return nullptr;
}

void DeriveGeometry(const SizeRow& row, Geometry& g) {
    g.width = row.width;
    g.height = row.height;
    g.step = row.step;
    g.margin = row.margin;
    g.rows = (row.height - 2 * row.margin + 2) / row.step;
    g.cols = row.width / row.step;
    g.cellRows = g.rows / 4;
    g.cellCols = g.cols / 4;
    g.cells = g.cellRows * g.cellCols;
    int32_t start = 0;
    for (int s = 0; s < kScales; ++s) {
        const ScaleShape& sh = kScaleShapes[s];
        g.rowPositions[s] = Positions(4 * g.cellRows - sh.windowH + 1);
        g.colPositions[s] = Positions(4 * g.cellCols - sh.windowW + 1);
        g.listStart[s] = start;
        g.listLength[s] = kPlanes * (sh.windowH / 4) * (sh.windowW / 4);
        start += g.listLength[s];
    }
}

Context* CreateContext(const SizeRow& row) {
    Context* c = new (std::nothrow) Context{};
    if (c == nullptr) return nullptr;
    DeriveGeometry(row, c->g);
    const Geometry& g = c->g;
    const size_t pixels = static_cast<size_t>(g.rows) * g.cols;
    const size_t listTotal = static_cast<size_t>(g.listStart[kScales - 1] + g.listLength[kScales - 1]);
    c->sub = new (std::nothrow) uint8_t[pixels];
    c->horizontal = new (std::nothrow) int32_t[pixels];
    c->smooth = new (std::nothrow) int32_t[pixels];
    c->planes = new (std::nothrow) int32_t[static_cast<size_t>(kPlanes) * g.cells];
    c->lists = new (std::nothrow) int32_t[listTotal];
    if (!c->sub || !c->horizontal || !c->smooth || !c->planes || !c->lists) {
        DestroyContext(c);
        return nullptr;
    }
    BuildLists(c);
    return c;
}

void DestroyContext(Context* c) {
    if (c == nullptr) return;
    delete[] c->sub;
    delete[] c->horizontal;
    delete[] c->smooth;
    delete[] c->planes;
    delete[] c->lists;
    delete c;
}

int32_t InstallModel(Context* c, const Model& model) {
    if (c == nullptr || !model.feature || !model.threshold || !model.leaf) return kErrModel;
    for (int s = 0; s < kScales; ++s) {
        const int16_t* f = model.feature + s * kScaleEntries;
        const int16_t* leaf = model.leaf + s * kScaleEntries;
        int32_t used = 0;
        for (int32_t k = 0; k < kLearners; ++k) {
            for (int slot = 0; slot < 3; ++slot)
                if (f[k * kSlots + slot] < 0 || f[k * kSlots + slot] >= c->g.listLength[s]) return kErrModel;
            for (int slot = 3; slot < kSlots; ++slot)
                if (leaf[k * kSlots + slot] != 0) used = k + 1;
        }
        c->usedLearners[s] = used;
    }
    c->model = model;
    return 0;
}

}  // namespace eyeloc
