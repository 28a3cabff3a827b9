#include "library.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "rng.h"

namespace conf {

namespace {

// Builds script text one operation at a time.
class Builder {
  public:
    template <typename... Args> void Op(const char *name, Args... args)
    {
        text_ << name;
        ((text_ << ' ' << args), ...);
        text_ << '\n';
    }

    std::string Text() const { return text_.str(); }

  private:
    std::ostringstream text_;
};

std::string Hex(uint32_t rgb)
{
    char buf[8];
    snprintf(buf, sizeof buf, "%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return buf;
}

std::string Class(int width)
{
    // Built in place: GCC 12 at -O3 warns falsely (-Wrestrict) on "w" + string.
    std::string name = "w";
    name += std::to_string(width);
    return name;
}

// A pen colour far enough from white and from the other backgrounds used.
uint32_t PenColour(Rng &rng)
{
    return (rng.Range(0, 200) << 16) | (rng.Range(0, 200) << 8) | rng.Range(0, 200);
}

struct Vec {
    int dx, dy;
};

// The eight reflections of (a, b): every octant, both orders.
std::vector<Vec> Reflections(int a, int b)
{
    std::vector<Vec> out;
    for (int sx : {1, -1}) {
        for (int sy : {1, -1}) {
            out.push_back({sx * a, sy * b});
            if (a != b)
                out.push_back({sx * b, sy * a});
        }
    }
    return out;
}

// Isolated segments, one per tile so that no two touch: every vector up to
// 12 pixels in each direction, dots included, and longer ones at the tie
// slopes (1/2, 2), at 45 degrees, axis-aligned and next to the ties.
void Single(Builder &b, Rng &rng)
{
    for (int width = 0; width <= 9; ++width) {
        const int tile = 32, n = 25;
        std::string name = "single-" + Class(width) + "-short";
        b.Op("frame", "single", Class(width), name, tile * n, tile * n, "ffffff");
        b.Op("pen", width, Hex(PenColour(rng)));
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                int dx = i - n / 2, dy = j - n / 2;
                // The segment's box centred in the tile.
                int x0 = tile * i + tile / 2 - dx / 2, y0 = tile * j + tile / 2 - dy / 2;
                b.Op("move", x0, y0);
                b.Op("line", x0 + dx, y0 + dy);
                if (width <= 1)
                    b.Op("keep", x0 + dx, y0 + dy);
            }
        }
        b.Op("snap");

        std::vector<Vec> vecs;
        for (int k : {3, 5, 8, 13, 20}) {
            for (Vec v : Reflections(2 * k, k))
                vecs.push_back(v);
            for (Vec v : Reflections(k, k))
                vecs.push_back(v);
            for (Vec v : {Vec{2 * k, 0}, Vec{-2 * k, 0}, Vec{0, 2 * k}, Vec{0, -2 * k}})
                vecs.push_back(v);
        }
        for (Vec v : Reflections(15, 7))
            vecs.push_back(v);
        for (Vec v : Reflections(13, 7))
            vecs.push_back(v);
        for (Vec v : Reflections(31, 3))
            vecs.push_back(v);
        const int big = 56, cols = 11;
        int rows = (static_cast<int>(vecs.size()) + cols - 1) / cols;
        name = "single-" + Class(width) + "-long";
        b.Op("frame", "single", Class(width), name, big * cols, big * rows, "ffffff");
        b.Op("pen", width, Hex(PenColour(rng)));
        for (size_t t = 0; t < vecs.size(); ++t) {
            int i = static_cast<int>(t) % cols, j = static_cast<int>(t) / cols;
            Vec v = vecs[t];
            int x0 = big * i + big / 2 - v.dx / 2, y0 = big * j + big / 2 - v.dy / 2;
            b.Op("move", x0, y0);
            b.Op("line", x0 + v.dx, y0 + v.dy);
            if (width <= 1)
                b.Op("keep", x0 + v.dx, y0 + v.dy);
        }
        b.Op("snap");
    }
}

// The next point of a random walk from (x, y) in a W x H bitmap, reaching
// a margin beyond every edge: short and long steps, exact tie slopes, axis
// steps, sharp turns back and repeated points.
void Step(Rng &rng, int w, int h, int margin, int px, int py, int *x, int *y)
{
    int kind = rng.Range(0, 99);
    if (kind < 30) {  // short
        *x += rng.Range(-3, 3);
        *y += rng.Range(-3, 3);
    } else if (kind < 50) {  // medium
        *x += rng.Range(-20, 20);
        *y += rng.Range(-20, 20);
    } else if (kind < 62) {  // long, anywhere
        *x = rng.Range(-margin, w + margin);
        *y = rng.Range(-margin, h + margin);
    } else if (kind < 80) {  // a tie or axis slope
        static const Vec kDirs[] = {{2, 1}, {1, 2}, {1, 1}, {1, 0}, {0, 1}};
        Vec d = kDirs[rng.Range(0, 4)];
        int k = rng.Range(1, 16) * (rng.Chance(50) ? 1 : -1);
        int s = rng.Chance(50) ? 1 : -1;
        *x += d.dx * k;
        *y += d.dy * k * s;
    } else if (kind < 92) {  // sharp turn: back to near the previous point
        *x = px + rng.Range(-2, 2);
        *y = py + rng.Range(-2, 2);
    } else if (kind < 96) {  // one pixel
        *x += rng.Range(-1, 1);
        *y += rng.Range(-1, 1);
    }  // else: the same point again
    // Walks stay near the bitmap.
    if (*x < -margin || *x > w + margin)
        *x = rng.Range(0, w);
    if (*y < -margin || *y > h + margin)
        *y = rng.Range(0, h);
}

// A polyline of random steps from a random point; with penEvery > 0 a
// random pen comes before every penEvery-th segment, starting with the first.
void Polyline(Builder &b, Rng &rng, int w, int h, int margin, int segments, int penEvery)
{
    int x = rng.Range(0, w), y = rng.Range(0, h), px = x, py = y;
    b.Op("move", x, y);
    for (int s = 0; s < segments; ++s) {
        if (penEvery > 0 && s % penEvery == 0)
            b.Op("pen", rng.Range(0, 9), Hex(PenColour(rng)));
        int nx = x, ny = y;
        Step(rng, w, h, margin, px, py, &nx, &ny);
        b.Op("line", nx, ny);
        px = x;
        py = y;
        x = nx;
        y = ny;
    }
}

// Random polylines, one pen per frame, every width.
void Walk(Builder &b, Rng &rng)
{
    const int w = 160, h = 120, margin = 24, frames = 10, segments = 30;
    for (int width = 0; width <= 9; ++width) {
        for (int f = 0; f < frames; ++f) {
            b.Op("frame", "walk", Class(width), "walk-" + Class(width) + "-" + std::to_string(f), w,
                 h, "ffffff");
            b.Op("pen", width, Hex(PenColour(rng)));
            Polyline(b, rng, w, h, margin, segments, 0);
            b.Op("snap");
        }
    }
}

// Polylines whose pen changes every few segments, the way right clicks in a
// drag change it.
void Mixed(Builder &b, Rng &rng)
{
    const int w = 200, h = 150, margin = 30;
    for (int f = 0; f < 6; ++f) {
        b.Op("frame", "mixed", "mixed", "mixed-" + std::to_string(f), w, h, "ffffff");
        Polyline(b, rng, w, h, margin, 60, 5);
        b.Op("snap");
    }
}

// Lines crossing and leaving every edge. Each set is drawn twice: into a
// small bitmap, where it is clipped, and into a large one that holds it
// whole, whose matching part must be the same pixels. A third frame uses
// coordinates far outside the bitmap.
void Clip(Builder &b, Rng &rng)
{
    const int w = 48, h = 36, off = 120;
    for (int width = 0; width <= 9; ++width) {
        std::vector<std::pair<Vec, Vec>> lines;
        // Across and out of every edge and corner, grazing the edges.
        for (int e = -1; e <= 1; ++e) {
            lines.push_back({{-30, e}, {w + 30, e + 7}});
            lines.push_back({{-30, h - 1 + e}, {w + 30, h - 1 + e}});
            lines.push_back({{e, -30}, {e + 5, h + 30}});
            lines.push_back({{w - 1 + e, -30}, {w - 1 + e, h + 30}});
        }
        lines.push_back({{w / 2, h / 2}, {-60, -45}});
        lines.push_back({{w / 2, h / 2}, {w + 60, -30}});
        lines.push_back({{w / 2, h / 2}, {w + 20, h + 70}});
        lines.push_back({{w / 2, h / 2}, {-10, h + 45}});
        lines.push_back({{-40, -20}, {w + 40, h + 20}});  // through two corners' sides
        lines.push_back({{-off + 2, -off + 1}, {w + 80, h + 60}});
        for (int i = 0; i < 20; ++i) {
            Vec a{rng.Range(-off, w + off), rng.Range(-off, h + off)};
            Vec c{rng.Range(-off, w + off), rng.Range(-off, h + off)};
            if (i % 4 == 0)
                c = {a.dx + (c.dx - a.dx) / 2 * 2, a.dy + (c.dx - a.dx) / 2};  // slope 1/2
            lines.push_back({a, c});
        }
        uint32_t colour = PenColour(rng);
        std::string small = "clip-" + Class(width) + "-small";
        b.Op("frame", "clip", Class(width), small, w, h, "ffffff");
        b.Op("pen", width, Hex(colour));
        for (const auto &[a, c] : lines) {
            b.Op("move", a.dx, a.dy);
            b.Op("line", c.dx, c.dy);
        }
        b.Op("snap");
        b.Op("frame", "clip", Class(width), "clip-" + Class(width) + "-whole", w + 2 * off,
             h + 2 * off, "ffffff");
        b.Op("pen", width, Hex(colour));
        for (const auto &[a, c] : lines) {
            b.Op("move", a.dx + off, a.dy + off);
            b.Op("line", c.dx + off, c.dy + off);
        }
        b.Op("same-as", small);
        b.Op("snap", off, off, w, h);

        b.Op("frame", "clip", Class(width), "clip-" + Class(width) + "-far", 64, 48, "ffffff");
        b.Op("pen", width, Hex(PenColour(rng)));
        const int far[][4] = {{-30000, 20, 30000, 30},      {-10000, -10000, 10000, 10000},
                              {32, -20000, 33, 20000},      {-5000, 47, 5000, 0},
                              {20000, -3000, -20000, 3000}, {63, 0, 63 - 4000, 8000},
                              {-7, -7, 30000, 29990}};
        for (const auto &l : far) {
            b.Op("move", l[0], l[1]);
            b.Op("line", l[2], l[3]);
        }
        b.Op("snap");
    }
}

// PatBlt with the raster operations and brushes, rectangles inside, across
// every edge, outside and inverted; FillRect likewise.
void Fill(Builder &b, Rng &rng)
{
    const int w = 64, h = 48;
    std::vector<std::array<int, 4>> rects = {
        {4, 4, 10, 8},   {-5, 10, 12, 6},    {58, 20, 20, 5},  {20, -3, 7, 6},
        {30, 44, 9, 10}, {-10, -10, 15, 15}, {60, 44, 10, 10}, {70, 5, 4, 4},
        {10, 50, 3, 3},  {0, 0, 1, 1},       {63, 47, 1, 1},   {12, 30, 0, 5},
        {14, 30, 5, 0},  {-100, 22, 300, 2}, {40, -50, 3, 200}};
    for (int i = 0; i < 6; ++i)
        rects.push_back({rng.Range(-20, w), rng.Range(-20, h), rng.Range(1, 40), rng.Range(1, 30)});
    const std::vector<std::array<int, 4>> negative = {
        {20, 20, -8, 5}, {30, 10, 6, -7}, {50, 40, -9, -9}, {5, 47, -12, 3}, {62, 2, 5, -4}};

    for (const char *rop : {"patcopy", "patinvert", "dstinvert", "blackness", "whiteness"}) {
        b.Op("frame", "fill", "fill", std::string("fill-") + rop, w, h, "d0a060");
        // A background with some structure, for the operations that read it.
        b.Op("brush", "204080");
        b.Op("patblt", 0, 0, w / 2, h, "patcopy");
        for (size_t i = 0; i < rects.size(); ++i) {
            b.Op("brush", Hex(PenColour(rng)));
            const auto &r = rects[i];
            b.Op("patblt", r[0], r[1], r[2], r[3], rop);
        }
        b.Op("snap");
    }
    // Negative extents: a class of their own, apart from the fills the
    // program makes.
    b.Op("frame", "fill", "fill-neg", "fill-negative", w, h, "ffffff");
    for (const auto &r : negative) {
        b.Op("brush", Hex(PenColour(rng)));
        b.Op("patblt", r[0], r[1], r[2], r[3], "patcopy");
    }
    b.Op("snap");
    b.Op("frame", "fill", "fill", "fill-stock", w, h, "ff00ff");
    for (int stock = 0; stock <= 5; ++stock) {
        b.Op("brush-stock", stock);
        b.Op("patblt", stock * 10, 2, 9, 40, "patcopy");
    }
    b.Op("snap");
    b.Op("frame", "fill", "fill", "fillrect", w, h, "ffffff");
    for (const auto &r : rects)
        b.Op("fillrect", r[0], r[1], r[0] + r[2], r[1] + r[3], Hex(PenColour(rng)));
    b.Op("snap");
    b.Op("frame", "fill", "fill-neg", "fillrect-inverted", w, h, "ffffff");
    for (const auto &r : negative)
        b.Op("fillrect", r[0], r[1], r[0] + r[2], r[1] + r[3], Hex(PenColour(rng)));
    b.Op("snap");
    b.Op("frame", "fill", "fill", "setpixel", 16, 12, "ffffff");
    for (int i = 0; i < 40; ++i)
        b.Op("setpixel", rng.Range(-2, 17), rng.Range(-2, 13), Hex(PenColour(rng)));
    b.Op("snap");
}

// BitBlt from a patterned bitmap: inside, across the edges of the
// destination and of the source, outside both; within one bitmap,
// overlapping in every direction; the raster operations of the layer.
void Blit(Builder &b, Rng &rng)
{
    const int w = 64, h = 48;
    const std::vector<std::array<int, 6>> blits = {
        {2, 2, 20, 15, 0, 0},     {30, 5, 20, 15, 25, 20},       {-6, 25, 20, 15, 3, 3},
        {50, 30, 20, 20, 10, 5},  {20, -8, 12, 12, 30, 10},      {5, 40, 15, 15, 0, 10},
        {40, 2, 15, 10, -5, -4},  {10, 20, 20, 10, 30, 25},      {0, 0, 64, 48, -60, -40},
        {45, 18, 8, 8, 38, 26},   {70, 10, 5, 5, 0, 0},          {3, 30, 0, 7, 0, 0},
        {20, 20, 10, 10, 100, 0}, {-30, -30, 100, 100, -30, -30}};
    for (const char *rop : {"srccopy", "srcpaint", "srcand", "srcinvert"}) {
        b.Op("frame", "blit", "blit", std::string("blit-") + rop, w, h, "60c0a0");
        b.Op("brush", "302010");
        b.Op("patblt", 0, h / 2, w, h / 2, "patcopy");
        b.Op("source", 40, 30);
        for (const auto &r : blits)
            b.Op("blit", r[0], r[1], r[2], r[3], r[4], r[5], rop);
        b.Op("snap");
    }
    b.Op("frame", "blit", "blit-neg", "blit-negative", w, h, "ffffff");
    b.Op("source", 40, 30);
    b.Op("blit", 20, 20, -10, 8, 12, 4, "srccopy");
    b.Op("blit", 40, 30, 8, -10, 4, 12, "srccopy");
    b.Op("snap");
    b.Op("frame", "blit", "blit", "blit-self", w, h, "ffffff");
    b.Op("source", 40, 30);
    b.Op("blit", 0, 0, w, h, 0, 0, "srccopy");
    for (const auto &d : {Vec{3, 2}, Vec{-4, 1}, Vec{2, -3}, Vec{-1, -5}, Vec{0, 6}, Vec{7, 0}})
        b.Op("selfblit", 10 + d.dx, 8 + d.dy, 25, 18, 10, 8, "srccopy");
    b.Op("selfblit", 30, 20, 40, 40, 20, 10, "srccopy");
    b.Op("snap");
    (void)rng;
}

// The program's window procedure on a window of a registered class, fed the
// messages of left drags, moves with other key states, and pen changes.
void WndProc(Builder &b, Rng &rng)
{
    const int w = 320, h = 240;
    b.Op("window-open");
    int x = 0, y = 0, px = 0, py = 0;
    // A move before any press draws from the canvas origin.
    b.Op("wm", "mousemove", 1, 40, 25);
    x = 40;
    y = 25;
    for (int stroke = 0; stroke < 24; ++stroke) {
        if (stroke % 2 == 1)
            b.Op("window-pen", rng.Range(0, 9), Hex(PenColour(rng)));
        x = rng.Range(0, w);
        y = rng.Range(0, h);
        b.Op("wm", "lbuttondown", 1, x, y);
        for (int s = 0; s < 12; ++s) {
            int nx = x, ny = y;
            Step(rng, w, h, 20, px, py, &nx, &ny);
            // Coordinates are unsigned 16 bits: negative ones arrive far away.
            nx = nx < 0 ? 0 : nx;
            ny = ny < 0 ? 0 : ny;
            int keys = 1;
            if (s == 6) {
                static const int kOthers[] = {0, 1 | 2, 1 | 4, 1 | 8, 1 | 16, 1 | 32, 2};
                keys = kOthers[rng.Range(0, 6)];
            }
            b.Op("wm", "mousemove", keys, nx, ny);
            if (keys == 1) {
                px = x;
                py = y;
                x = nx;
                y = ny;
            }
        }
        b.Op("wm", "lbuttonup", 0, x, y);
    }
    // Far coordinates: to the right edge of the 16-bit range and back.
    b.Op("wm", "lbuttondown", 1, 100, 100);
    b.Op("wm", "mousemove", 1, 65535, 120);
    b.Op("wm", "mousemove", 1, 150, 200);
    b.Op("window-snap", "wndproc", "wndproc", "wndproc-canvas", 0, 0, w, h);
    // The window shows the canvas once it has painted.
    b.Op("window-update");
    b.Op("window-client-snap", "wndproc", "wndproc", "wndproc-client", 0, 0, w, h,
         "wndproc-canvas");
    b.Op("window-close");
}

}  // namespace

std::vector<Script> BuiltinScripts(uint64_t seed)
{
    using Generator = void (*)(Builder &, Rng &);
    const std::pair<const char *, Generator> kScripts[] = {
        {"single", Single}, {"walk", Walk}, {"mixed", Mixed},    {"clip", Clip},
        {"fill", Fill},     {"blit", Blit}, {"wndproc", WndProc}};
    std::vector<Script> out;
    uint64_t index = 0;
    for (const auto &[name, generate] : kScripts) {
        Builder b;
        Rng rng(seed * 1000 + index++);
        generate(b, rng);
        out.push_back({name, b.Text()});
    }
    return out;
}

}  // namespace conf
