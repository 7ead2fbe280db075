#include "tools/baker/MusicEncoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>

std::vector<std::uint8_t> encodeMp3(const std::vector<float>& interleaved, int sampleRate, int kilobitsPerSecond,
                                    std::string* why) {
    const std::size_t frames = interleaved.size() / 2;
    if (frames == 0) {
        *why = "no samples";
        return {};
    }
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) {
        *why = "the encoder could not be created";
        return {};
    }
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kilobitsPerSecond);
    lame_set_quality(lame.get(), 2);   // 2 = near-best psychoacoustics; deterministic like every setting
    lame_set_bWriteVbrTag(lame.get(), 0);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0) {
        *why = "the encoder refused " + std::to_string(sampleRate) + " Hz at " + std::to_string(kilobitsPerSecond) +
               " kbit/s";
        return {};
    }

    std::vector<std::uint8_t> out;
    constexpr std::size_t kChunk = 8192;                 // frames per call
    std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);   // LAME's documented worst case
    for (std::size_t first = 0; first < frames; first += kChunk) {
        const auto count = static_cast<int>(std::min(kChunk, frames - first));
        const int written = lame_encode_buffer_interleaved_ieee_float(
            lame.get(), interleaved.data() + first * 2, count, buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0) {
            *why = "the encoder failed with code " + std::to_string(written);
            return {};
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) {
        *why = "the encoder failed to flush with code " + std::to_string(flushed);
        return {};
    }
    out.insert(out.end(), buffer.begin(), buffer.begin() + flushed);
    return out;
}
