#include "textures/HdrReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string_view>

namespace {

// Scanlines of 8 to 32767 pixels may be run-length encoded; others are always flat.
constexpr int kMinRleWidth = 8;
constexpr int kMaxRleWidth = 32767;
constexpr std::size_t kMaxRun = 127;  // a run byte is 128 + length

class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : bytes(bytes) {}

    std::size_t left() const { return bytes.size() - at; }
    std::size_t offset() const { return at; }

    // The next line without its '\n', or nothing when no '\n' follows.
    std::optional<std::string_view> line() {
        if (left() == 0) return std::nullopt;
        const auto* start = bytes.data() + at;
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, '\n', left()));
        if (!end) return std::nullopt;
        at += static_cast<std::size_t>(end - start) + 1;
        return std::string_view(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
    }

    std::uint8_t peek(std::size_t ahead) const { return bytes[at + ahead]; }
    std::uint8_t take() { return bytes[at++]; }
    const std::uint8_t* take(std::size_t count) {
        const std::uint8_t* start = bytes.data() + at;
        at += count;
        return start;
    }

private:
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

bool fail(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return false;
}

// A decimal number of 1 to 9 digits at the front of `text`, consumed.
std::optional<long> takeNumber(std::string_view& text) {
    std::size_t digits = 0;
    while (digits < text.size() && digits < 10 && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 9) return std::nullopt;
    long value = 0;
    for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (text[i] - '0');
    text.remove_prefix(digits);
    return value;
}

bool readHeader(Cursor& in, int maxWidth, int maxHeight, int& width, int& height, std::string* why) {
    const auto signature = in.line();
    if (!signature || (*signature != "#?RADIANCE" && *signature != "#?RGBE"))
        return fail(why, "not a Radiance HDR file (no #?RADIANCE signature)");

    bool rgbe = false;
    for (;;) {
        const auto line = in.line();
        if (!line) return fail(why, "header cut short (no blank line before the size)");
        if (line->empty()) break;
        if (line->starts_with("FORMAT=")) {
            if (*line != "FORMAT=32-bit_rle_rgbe")
                return fail(why, "unsupported pixel format '" + std::string(line->substr(7)) + "'");
            rgbe = true;
        }
    }
    if (!rgbe) return fail(why, "no FORMAT=32-bit_rle_rgbe line in the header");

    const auto sizeLine = in.line();
    if (!sizeLine) return fail(why, "size line cut short");
    std::string_view text = *sizeLine;
    const std::string layoutError = "unsupported size line '" + std::string(text.substr(0, 40)) +
                                    "' (only '-Y <height> +X <width>')";
    if (!text.starts_with("-Y ")) return fail(why, layoutError);
    text.remove_prefix(3);
    const auto h = takeNumber(text);
    while (text.starts_with(' ')) text.remove_prefix(1);
    if (!h || !text.starts_with("+X ")) return fail(why, layoutError);
    text.remove_prefix(3);
    const auto w = takeNumber(text);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\r')) text.remove_prefix(1);
    if (!w || !text.empty()) return fail(why, layoutError);

    if (*w < 1 || *h < 1 || *w > maxWidth || *h > maxHeight)
        return fail(why, "size " + std::to_string(*w) + " x " + std::to_string(*h) + " is outside 1 x 1 to " +
                             std::to_string(maxWidth) + " x " + std::to_string(maxHeight));
    width = static_cast<int>(*w);
    height = static_cast<int>(*h);
    return true;
}

bool runLengthEncodable(int width) { return width >= kMinRleWidth && width <= kMaxRleWidth; }

// The fewest bytes one scanline can take: flat, or four channels of the longest runs.
std::size_t smallestScanline(int width) {
    const std::size_t flat = 4 * static_cast<std::size_t>(width);
    if (!runLengthEncodable(width)) return flat;
    const std::size_t runs = (static_cast<std::size_t>(width) + kMaxRun - 1) / kMaxRun;
    return std::min(flat, 4 + 4 * 2 * runs);
}

// One new-style scanline: the 4-byte marker (already checked), then each of the four channels as
// runs (128 + n, value) and literal spans (n, n values) that together fill the width exactly.
bool readRleScanline(Cursor& in, int width, int row, std::vector<std::uint8_t>& rgbe, std::string* why) {
    const int length = (in.peek(2) << 8) | in.peek(3);
    if (length != width)
        return fail(why, "scanline " + std::to_string(row) + " says " + std::to_string(length) + " pixels, not " +
                             std::to_string(width));
    in.take(4);
    const auto cut = [&] { return fail(why, "pixel data cut short in scanline " + std::to_string(row)); };
    for (int channel = 0; channel < 4; ++channel) {
        std::size_t x = 0;
        const auto w = static_cast<std::size_t>(width);
        while (x < w) {
            if (in.left() < 1) return cut();
            std::size_t count = in.take();
            const bool run = count > 128;
            if (run) count -= 128;
            if (count == 0) return fail(why, "zero-length span in scanline " + std::to_string(row));
            if (count > w - x)
                return fail(why, "span of " + std::to_string(count) + " runs past the width in scanline " +
                                     std::to_string(row));
            if (run) {
                if (in.left() < 1) return cut();
                const std::uint8_t value = in.take();
                for (std::size_t i = 0; i < count; ++i) rgbe[(x + i) * 4 + channel] = value;
            } else {
                if (in.left() < count) return cut();
                const std::uint8_t* values = in.take(count);
                for (std::size_t i = 0; i < count; ++i) rgbe[(x + i) * 4 + channel] = values[i];
            }
            x += count;
        }
    }
    return true;
}

// Shared exponent e scales each 8-bit mantissa by 2^(e - 136); e = 0 is black.
void convert(const std::uint8_t* rgbe, float* rgb) {
    if (rgbe[3] == 0) {
        rgb[0] = rgb[1] = rgb[2] = 0.0f;
        return;
    }
    const float scale = std::ldexp(1.0f, rgbe[3] - 136);
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<float>(rgbe[c]) * scale;
}

}  // namespace

std::optional<HdrImage> parseHdr(std::span<const std::uint8_t> bytes, std::string* why, int maxWidth,
                                 int maxHeight) {
    Cursor in(bytes);
    int width = 0;
    int height = 0;
    if (!readHeader(in, maxWidth, maxHeight, width, height, why)) return std::nullopt;

    const std::size_t need = smallestScanline(width) * static_cast<std::size_t>(height);
    if (in.left() < need) {
        fail(why, "pixel data truncated (" + std::to_string(width) + " x " + std::to_string(height) +
                      " needs at least " + std::to_string(need) + " bytes, have " + std::to_string(in.left()) + ")");
        return std::nullopt;
    }

    HdrImage image;
    image.width = width;
    image.height = height;
    const auto w = static_cast<std::size_t>(width);
    image.pixels.resize(w * static_cast<std::size_t>(height) * 3);
    std::vector<std::uint8_t> scanline(w * 4);
    for (int row = 0; row < height; ++row) {
        // Each scanline chooses its own encoding: 2, 2 and a length below 32768 start a run-length
        // line; anything else (never a normalised pixel) is the first pixel of a flat line.
        const bool rle = runLengthEncodable(width) && in.left() >= 4 && in.peek(0) == 2 && in.peek(1) == 2 &&
                         (in.peek(2) & 0x80) == 0;
        if (rle) {
            if (!readRleScanline(in, width, row, scanline, why)) return std::nullopt;
        } else {
            if (in.left() < 4 * w) {
                fail(why, "pixel data cut short in scanline " + std::to_string(row));
                return std::nullopt;
            }
            std::memcpy(scanline.data(), in.take(4 * w), 4 * w);
        }
        float* out = image.pixels.data() + static_cast<std::size_t>(height - 1 - row) * w * 3;
        for (std::size_t x = 0; x < w; ++x) convert(&scanline[x * 4], out + x * 3);
    }
    return image;
}

std::optional<HdrImage> readHdr(const std::string& path) {
    const auto refuse = [&](const std::string& why) {
        std::cout << "ERROR: Failed to load HDR image. '" << path << "': " << why << std::endl;
        return std::nullopt;
    };
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return refuse("cannot open the file");
    const std::streamoff size = file.tellg();
    // The largest picture accepted, stored flat, with room for a generous header.
    const std::streamoff largest = std::streamoff(4) * kMaxHdrWidth * kMaxHdrHeight + (1 << 20);
    if (size < 0 || size > largest) return refuse("file of " + std::to_string(size) + " bytes is too large");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return refuse("read error");

    std::string why;
    auto image = parseHdr(bytes, &why);
    if (!image) return refuse(why);
    return image;
}
