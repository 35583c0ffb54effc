#include "ReferenceFrames.h"

#include <cstdlib>

namespace vyx::test {
namespace {
// Every value here is positive; the C runtime's lround is a slow call under Wine.
int Round(double value) { return static_cast<int>(value + 0.5); }
}  // namespace

int ReferenceLuma(Bgr p) { return Round(16 + (65.481 * p.r + 128.553 * p.g + 24.966 * p.b) / 255.0); }
int ReferenceU(Bgr p) { return Round(128 + (-37.797 * p.r - 74.203 * p.g + 112.0 * p.b) / 255.0); }
int ReferenceV(Bgr p) { return Round(128 + (112.0 * p.r - 93.786 * p.g - 18.214 * p.b) / 255.0); }
int ReferenceGreyLuma(int grey) { return Round(16 + grey * 219.0 / 255.0); }

namespace {
Bgr Average(std::initializer_list<Bgr> pixels) {
    double b = 0, g = 0, r = 0;
    for (const Bgr& p : pixels) {
        b += p.b;
        g += p.g;
        r += p.r;
    }
    const double n = static_cast<double>(pixels.size());
    return {Round(b / n), Round(g / n), Round(r / n)};
}
}  // namespace

std::vector<BYTE> ReferenceNv12(const ColourPicture& picture, int width, int height) {
    std::vector<BYTE> frame(static_cast<std::size_t>(width) * height * 3 / 2);
    for (int i = 0; i < width * height; ++i) frame[static_cast<std::size_t>(i)] = static_cast<BYTE>(ReferenceLuma(picture[static_cast<std::size_t>(i)]));
    BYTE* uv = frame.data() + static_cast<std::size_t>(width) * height;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2) {
            auto at = [&](int dx, int dy) { return picture[static_cast<std::size_t>((y + dy) * width + x + dx)]; };
            const Bgr mean = Average({at(0, 0), at(1, 0), at(0, 1), at(1, 1)});
            uv[(y / 2) * width + x] = static_cast<BYTE>(ReferenceU(mean));
            uv[(y / 2) * width + x + 1] = static_cast<BYTE>(ReferenceV(mean));
        }
    return frame;
}

std::vector<BYTE> ReferenceYuy2(const ColourPicture& picture, int width, int height) {
    std::vector<BYTE> frame(static_cast<std::size_t>(width) * height * 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; x += 2) {
            const Bgr left = picture[static_cast<std::size_t>(y * width + x)];
            const Bgr right = picture[static_cast<std::size_t>(y * width + x + 1)];
            const Bgr mean = Average({left, right});
            BYTE* out = &frame[static_cast<std::size_t>(y * width + x) * 2];
            out[0] = static_cast<BYTE>(ReferenceLuma(left));
            out[1] = static_cast<BYTE>(ReferenceU(mean));
            out[2] = static_cast<BYTE>(ReferenceLuma(right));
            out[3] = static_cast<BYTE>(ReferenceV(mean));
        }
    return frame;
}

std::vector<BYTE> ReferenceRgb32(const ColourPicture& picture, int width, int height) {
    std::vector<BYTE> frame(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < picture.size(); ++i) {
        frame[i * 4] = static_cast<BYTE>(picture[i].b);
        frame[i * 4 + 1] = static_cast<BYTE>(picture[i].g);
        frame[i * 4 + 2] = static_cast<BYTE>(picture[i].r);
        frame[i * 4 + 3] = 0xFF;
    }
    return frame;
}

std::vector<BYTE> ReferenceGreyNv12(const GreyPicture& picture, int width, int height) {
    std::vector<BYTE> frame(static_cast<std::size_t>(width) * height * 3 / 2, 128);
    for (std::size_t i = 0; i < picture.size(); ++i) frame[i] = static_cast<BYTE>(ReferenceGreyLuma(picture[i]));
    return frame;
}

std::vector<BYTE> ReferenceGreyYuy2(const GreyPicture& picture, int width, int height) {
    std::vector<BYTE> frame(static_cast<std::size_t>(width) * height * 2, 128);
    for (std::size_t i = 0; i < picture.size(); ++i) frame[i * 2] = static_cast<BYTE>(ReferenceGreyLuma(picture[i]));
    return frame;
}

int LargestDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    if (a.size() != b.size()) return -1;
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(int{a[i]} - int{b[i]}));
    return largest;
}

}  // namespace vyx::test
