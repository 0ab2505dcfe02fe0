#pragma once

// An image as rows of RGB bytes, read back from OpenGL or from a
// screenshot, and the pixels in it that a test looks for.

#include <array>
#include <functional>
#include <vector>

using Rgb = std::array<int, 3>;

struct Pixels {
    int                        width  = 0;
    int                        height = 0;
    std::vector<unsigned char> rgb;  // row by row, in the order the source gave them

    Rgb at(const int x, const int y) const {
        const auto i = static_cast<std::size_t>((y * width + x) * 3);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }

    // How many pixels of the box [left, right) x [firstRow, endRow) the test wants.
    int count(const std::function<bool(const Rgb&)>& wanted, const int left, const int firstRow, const int right,
              const int endRow) const {
        int found = 0;
        for (int y = firstRow; y < std::min(endRow, height); ++y) {
            for (int x = left; x < std::min(right, width); ++x) {
                found += wanted(at(x, y)) ? 1 : 0;
            }
        }
        return found;
    }
    int count(const Rgb colour, const int left, const int firstRow, const int right, const int endRow) const {
        return count([&](const Rgb& c) { return c == colour; }, left, firstRow, right, endRow);
    }
};
