// Mesa keeps the programs it compiled, and llvmpipe the machine code of their variants, in a disk
// cache. With it empty a start spends about 2 CPU-s compiling, close to half of a first start here.
// The build fills one on this machine's driver in assets/shader-cache/ (one headless capture of the
// first play frame, tools/capture), and a start points Mesa at a folder of its own beside the
// lighting cache, first copying in the build's entries it lacks. The build's folder is only read:
// whatever the start compiles beyond it goes to the user's folder. Mesa checks every entry itself
// (its key holds the driver's build, and a checksum), so an entry of another driver is never used.
//
// Left alone: a Mesa cache location or kind the user chose (MESA_SHADER_CACHE_DIR,
// MESA_DISK_CACHE_SINGLE_FILE, MESA_DISK_CACHE_DATABASE), Mesa's cache switched off, our cache off
// (VERDANCE_CACHE_DIR=off). Then Mesa works as it always does.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

// The build's warmed cache, relative to the working directory like every asset.
inline constexpr const char* kBuiltShaderCacheDir = "assets/shader-cache";

// Whether Mesa's cache may be pointed at our folder, given the environment (`lookup` returns null
// for an unset name): not when the user chose its place or kind, or switched it off.
bool mayRedirectShaderCache(const std::function<const char*(const char*)>& lookup);

// Copies every file under `from` that `to` lacks (same relative path), each written whole through a
// temporary and renamed; Mesa's own bookkeeping file ("index") is left to Mesa. Files already in
// `to` are kept as they are. False with the reason (naming the file) at the first failure.
bool copyMissingCacheFiles(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why);

// Before the GL context is made: where mayRedirectShaderCache allows it and our cache folder can be
// named, copies the build's entries into "<cache folder>/mesa" and sets MESA_SHADER_CACHE_DIR to it.
// A folder that cannot be prepared costs the start its speed and one line; Mesa then keeps its own.
void useBuiltShaderCache();
