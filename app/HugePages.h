// Asks glibc's allocator for transparent huge pages where the kernel gives them only on request.
// The driver keeps every texture and render target in ordinary heap memory (about 600 MiB at
// 800 x 800: the sky cube, two 2048 depth cubes, the 4x targets) and fills it at creation; on 4 KiB
// pages that is some 150,000 page faults, the largest part of a start. On 2 MiB pages it is a few
// hundred. glibc reads its setting only when a program starts, so the program starts itself again
// once with it; nothing else changes (the frames are the same bytes).
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The GLIBC_TUNABLES value to restart with, given the kernel's mode line
// (/sys/kernel/mm/transparent_hugepage/enabled, e.g. "always [madvise] never") and the current value
// (null when unset); none where a restart gains nothing: huge pages already always on or never
// given, or the huge-page setting already chosen (by the user, or by the restart itself).
std::optional<std::string> hugePageTunables(std::string_view kernelMode, const char* tunables);

// Called first thing in main: replaces the process with the same program, arguments and environment
// plus the setting, where hugePageTunables says so. Returns only when there is nothing to do or the
// restart failed (then the program simply goes on with small pages).
void restartWithHugePages(char** argv);
