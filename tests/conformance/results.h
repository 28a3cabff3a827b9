// The results file of a conformance run: the pixels of every frame that the
// driver's scripts produced, in a byte layout that is the same on every host
// (little-endian, no padding), so that a run under Wine and a native run can
// be compared byte for byte or frame by frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace conf {

struct Frame {
    std::string script;    // the script that drew it, e.g. "walk"
    std::string penClass;  // what it measures, e.g. "w5", "fill", "blit"
    std::string name;      // unique within a run
    std::string sameAs;    // name of an earlier frame it must equal, or empty
    int width = 0;
    int height = 0;
    uint32_t background = 0;                // 0xRRGGBB
    std::vector<std::pair<int, int>> keep;  // pixels that must stay background
    std::vector<uint32_t> pixels;           // 0xRRGGBB, rows top to bottom

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Writes frames one after the other; Close() adds the end marker.
class ResultsWriter {
  public:
    ~ResultsWriter();
    bool Open(const std::string &path);
    void Write(const Frame &frame);
    bool Close();

  private:
    void Bytes(const void *data, size_t size);
    void U32(uint32_t v);
    void Str(const std::string &s);

    FILE *file_ = nullptr;
    bool ok_ = true;
};

// Reads a whole results file; false (with a message) when it is malformed
// or truncated.
bool ReadResults(const std::string &path, std::vector<Frame> *frames, std::string *error);

}  // namespace conf
