// A PNG encoder small enough to carry along: 8-bit RGB, no filtering, deflate with stored blocks. The
// screenshots are for people to look at, not to keep, so size does not matter.
#pragma once

#include <cstdint>
#include <vector>

namespace e2e {

// `rgb` holds width * height pixels, three bytes each, top row first.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace e2e
