#include "app/WholeFile.h"

#include <stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string failed(const fs::path& path, const std::string& reason) {
    return "Failed to write '" + path.string() + "': " + reason;
}

// Writes all of `bytes` to `fd`, through short writes and interruptions; false leaves errno set.
bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// Writes and closes `fd`; on failure the reason, with the descriptor closed either way.
bool writeAndClose(int fd, std::span<const std::uint8_t> bytes, std::string& reason) {
    if (!writeAll(fd, bytes)) {
        reason = std::strerror(errno);
        close(fd);
        return false;
    }
    // Some file systems (NFS, FUSE) report a failed write only here.
    if (close(fd) != 0) {
        reason = std::string("closing it failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// "<name>.part-<16 random hex digits>", created exclusively (O_EXCL, O_NOFOLLOW): no one else's file
// and no link is ever opened. -1 with errno set when none could be made.
int createTemporary(const fs::path& path, fs::path& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".part-%08x%08x", random(), random());
        temporary = path;
        temporary += suffix;
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool writeWholeFile(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& why) {
    std::string reason;
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            why = failed(path, "it is a folder");
            return false;
        }
        const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0 || !writeAndClose(fd, bytes, reason)) {
            why = failed(path, fd < 0 ? std::strerror(errno) : reason);
            return false;
        }
        return true;
    }

    fs::path temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) {
        why = failed(path, std::string("cannot create a temporary beside it: ") + std::strerror(errno));
        return false;
    }
    if (!writeAndClose(fd, bytes, reason)) {
        unlink(temporary.c_str());
        why = failed(path, reason);
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        reason = std::string("cannot rename the temporary into place: ") + std::strerror(errno);
        unlink(temporary.c_str());
        why = failed(path, reason);
        return false;
    }
    return true;
}

bool writePngFile(const fs::path& path, int width, int height, const std::uint8_t* rgba, bool bottomRowFirst,
                  std::string& why) {
    std::vector<std::uint8_t> encoded;
    const auto append = [](void* context, void* data, int size) {
        auto& out = *static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out.insert(out.end(), bytes, bytes + size);
    };
    stbi_flip_vertically_on_write(bottomRowFirst ? 1 : 0);
    const int encodedOk = stbi_write_png_to_func(append, &encoded, width, height, 4, rgba, width * 4);
    stbi_flip_vertically_on_write(0);
    if (!encodedOk || encoded.empty()) {
        why = failed(path, "the PNG encoder failed");
        return false;
    }
    return writeWholeFile(path, encoded, why);
}
