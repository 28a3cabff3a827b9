#include "display_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kp::host {

namespace {

// A positive finite number spelled out in full (surrounding blanks allowed),
// else 0.
double PositiveNumber(const char *text, const char *end)
{
    while (text < end && (*text == ' ' || *text == '\t'))
        ++text;
    while (end > text && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
    if (text == end || end - text > 31)
        return 0;
    char buffer[32];
    std::memcpy(buffer, text, end - text);
    buffer[end - text] = '\0';
    char *stop = nullptr;
    double value = std::strtod(buffer, &stop);
    if (stop != buffer + (end - text) || !std::isfinite(value) || value <= 0)
        return 0;
    return value;
}

int RoundScale(double scale)
{
    if (scale < 1)
        return 1;
    if (scale >= kMaxScale)
        return kMaxScale;
    return static_cast<int>(std::floor(scale + 0.5));
}

}  // namespace

double XftDpi(const char *resources)
{
    if (resources == nullptr)
        return 0;
    static constexpr char kName[] = "Xft.dpi";
    double dpi = 0;
    // One resource a line, "name:\tvalue"; the last one given wins.
    for (const char *line = resources; *line != '\0';) {
        const char *end = std::strchr(line, '\n');
        if (end == nullptr)
            end = line + std::strlen(line);
        const char *p = line;
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        const size_t n = sizeof kName - 1;
        if (static_cast<size_t>(end - p) > n && std::strncmp(p, kName, n) == 0) {
            const char *q = p + n;
            while (q < end && (*q == ' ' || *q == '\t'))
                ++q;
            if (q < end && *q == ':') {
                if (double value = PositiveNumber(q + 1, end); value > 0)
                    dpi = value;
            }
        }
        line = *end == '\n' ? end + 1 : end;
    }
    return dpi;
}

int X11Scale(const char *gdkScale, const char *resources)
{
    if (gdkScale != nullptr) {
        if (double scale = PositiveNumber(gdkScale, gdkScale + std::strlen(gdkScale)); scale > 0)
            return RoundScale(scale);
    }
    if (double dpi = XftDpi(resources); dpi > 0)
        return RoundScale(dpi / 96);
    return 1;
}

int FloorDiv(int value, int divisor)
{
    int q = value / divisor;
    return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

int CeilDiv(int value, int divisor)
{
    return -FloorDiv(-value, divisor);
}

RECT LogicalCover(const RECT &device, int scale)
{
    return RECT{FloorDiv(device.left, scale), FloorDiv(device.top, scale),
                CeilDiv(device.right, scale), CeilDiv(device.bottom, scale)};
}

int DeviceLength(int logical, int scale)
{
    long long length = static_cast<long long>(logical) * scale;
    return static_cast<int>(std::clamp<long long>(length, 1, 65535));
}

}  // namespace kp::host
