#include "results.h"

#include <cstring>

namespace conf {

namespace {

const char kMagic[8] = {'K', 'P', 'C', 'O', 'N', 'F', '1', '\n'};

class Reader {
  public:
    explicit Reader(FILE *file) : file_(file) {}

    bool Bytes(void *data, size_t size) { return fread(data, 1, size, file_) == size; }

    bool U32(uint32_t *v)
    {
        unsigned char b[4];
        if (!Bytes(b, 4))
            return false;
        *v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        return true;
    }

    bool I32(int *v)
    {
        uint32_t u;
        if (!U32(&u))
            return false;
        *v = static_cast<int>(u);
        return true;
    }

    bool Str(std::string *s)
    {
        uint32_t n;
        if (!U32(&n) || n > 4096)
            return false;
        s->resize(n);
        return n == 0 || Bytes(s->data(), n);
    }

  private:
    FILE *file_;
};

}  // namespace

ResultsWriter::~ResultsWriter()
{
    if (file_)
        fclose(file_);
}

bool ResultsWriter::Open(const std::string &path)
{
    file_ = fopen(path.c_str(), "wb");
    if (!file_)
        return false;
    Bytes(kMagic, sizeof kMagic);
    return ok_;
}

void ResultsWriter::Bytes(const void *data, size_t size)
{
    if (file_ && fwrite(data, 1, size, file_) != size)
        ok_ = false;
}

void ResultsWriter::U32(uint32_t v)
{
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    Bytes(b, 4);
}

void ResultsWriter::Str(const std::string &s)
{
    U32(static_cast<uint32_t>(s.size()));
    Bytes(s.data(), s.size());
}

void ResultsWriter::Write(const Frame &frame)
{
    Bytes("F", 1);
    Str(frame.script);
    Str(frame.penClass);
    Str(frame.name);
    Str(frame.sameAs);
    U32(static_cast<uint32_t>(frame.width));
    U32(static_cast<uint32_t>(frame.height));
    U32(frame.background);
    U32(static_cast<uint32_t>(frame.keep.size()));
    for (const auto &[x, y] : frame.keep) {
        U32(static_cast<uint32_t>(x));
        U32(static_cast<uint32_t>(y));
    }
    // Three bytes per pixel, R G B.
    std::vector<unsigned char> row(static_cast<size_t>(frame.width) * 3);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            uint32_t p = frame.At(x, y);
            row[x * 3] = static_cast<unsigned char>(p >> 16);
            row[x * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[x * 3 + 2] = static_cast<unsigned char>(p);
        }
        Bytes(row.data(), row.size());
    }
}

bool ResultsWriter::Close()
{
    if (!file_)
        return false;
    Bytes("E", 1);
    bool closed = fclose(file_) == 0;
    file_ = nullptr;
    return ok_ && closed;
}

bool ReadResults(const std::string &path, std::vector<Frame> *frames, std::string *error)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    Reader in(file);
    char magic[sizeof kMagic];
    bool ok = in.Bytes(magic, sizeof magic) && memcmp(magic, kMagic, sizeof magic) == 0;
    if (!ok)
        *error = path + ": not a conformance results file";
    while (ok) {
        char tag = 0;
        if (!in.Bytes(&tag, 1) || (tag != 'F' && tag != 'E')) {
            *error = path + ": truncated (no end marker)";
            ok = false;
            break;
        }
        if (tag == 'E')
            break;
        Frame f;
        uint32_t keepCount = 0;
        ok = in.Str(&f.script) && in.Str(&f.penClass) && in.Str(&f.name) && in.Str(&f.sameAs) &&
             in.I32(&f.width) && in.I32(&f.height) && in.U32(&f.background) && in.U32(&keepCount) &&
             f.width >= 0 && f.height >= 0 && f.width <= 8192 && f.height <= 8192 &&
             keepCount < (1u << 20);
        for (uint32_t i = 0; ok && i < keepCount; ++i) {
            int x = 0, y = 0;
            ok = in.I32(&x) && in.I32(&y);
            f.keep.emplace_back(x, y);
        }
        std::vector<unsigned char> rgb(static_cast<size_t>(f.width) * f.height * 3);
        ok = ok && (rgb.empty() || in.Bytes(rgb.data(), rgb.size()));
        if (!ok) {
            *error = path + ": malformed frame after " + std::to_string(frames->size()) + " frames";
            break;
        }
        f.pixels.resize(static_cast<size_t>(f.width) * f.height);
        for (size_t i = 0; i < f.pixels.size(); ++i)
            f.pixels[i] = (rgb[i * 3] << 16) | (rgb[i * 3 + 1] << 8) | rgb[i * 3 + 2];
        frames->push_back(std::move(f));
    }
    fclose(file);
    return ok;
}

}  // namespace conf
