// MP3 encoding of the baked music with LAME: constant bit rate, joint stereo, no tags, so the same
// samples always give the same bytes. Refuses empty input and anything LAME rejects (why says what).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// interleaved: left, right, left, right ... in [-1, 1].
std::vector<std::uint8_t> encodeMp3(const std::vector<float>& interleaved, int sampleRate, int kilobitsPerSecond,
                                    std::string* why);
