#pragma once
// What each media type's frame must hold, computed the slow and obvious way from the
// camera's picture: the reference the conversions and the media source are checked against.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace vyx::test {

struct Bgr {
    int b, g, r;
};

// Top-down pictures, one entry per pixel.
using ColourPicture = std::vector<Bgr>;
using GreyPicture = std::vector<int>;

// BT.601 studio range in floating point, rounded to the nearest level.
int ReferenceLuma(Bgr p);
int ReferenceU(Bgr p);
int ReferenceV(Bgr p);
int ReferenceGreyLuma(int grey);

// The frames a type carries for a picture of width x height.
std::vector<BYTE> ReferenceNv12(const ColourPicture& picture, int width, int height);
std::vector<BYTE> ReferenceYuy2(const ColourPicture& picture, int width, int height);
std::vector<BYTE> ReferenceRgb32(const ColourPicture& picture, int width, int height);
std::vector<BYTE> ReferenceGreyNv12(const GreyPicture& picture, int width, int height);
std::vector<BYTE> ReferenceGreyYuy2(const GreyPicture& picture, int width, int height);

// The largest difference between two frames of the same length; -1 for different lengths.
int LargestDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b);

}  // namespace vyx::test
