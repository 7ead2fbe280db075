// The finished video, read back before it is renamed into place: an encoder can exit 0 and still leave
// a file that players refuse (a missing index after a full disk) or that lacks frames. ffprobe counts
// the packets of every stream (one H.264 packet a frame) without decoding them.
#pragma once

#include <string>

// True when `path` holds exactly one video stream of `frames` frames and, if `audio`, an audio stream;
// otherwise false with the reason (ffprobe's own error line when it refuses the file).
bool checkVideo(const std::string& path, long frames, bool audio, std::string& why);
