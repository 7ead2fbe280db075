// The command line of the small tools (capture, timeline): `--help` or `-h`, options that take one
// value each, and the words that are no option (capture's play times). A word that cannot be taken
// ends the run with one ERROR line that names it and exit code 2; nothing has started by then.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ToolOption {
    std::string name;  // "--out"; empty for the words that are no option
    // Takes the value (or the word); false refuses it.
    std::function<bool(const std::string& value)> take;
    // What a refused value is not, as in "ERROR: not a frame rate: '0' (see --help)".
    std::string refusal;
};

// Reads argv[1..argc) in order. An option given last, without its value, counts as a word that is no
// option; without `words`, such a word is an unknown option. Returns the exit code when the tool is to
// end now (0 once `help` is printed for --help or -h, 2 after an ERROR line), else nothing.
std::optional<int> parseToolOptions(int argc, const char* const* argv, const char* help,
                                    const std::vector<ToolOption>& options,
                                    const std::optional<ToolOption>& words = std::nullopt);
