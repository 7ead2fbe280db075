// The depth that casters which never move leave in a point light's cube map, drawn once per light and
// copied into the map at the start of each of its passes, so a frame draws only the casters that
// move. The nearest depth wins whatever the order of drawing, so the map ends as if everything had
// been drawn into it. A copy holds only for the draw state it was drawn with (`state`: the caller's
// key of face culling and polygon mode), and a light that is off gives its copy up (a 2048 cube is
// 96 MiB).
#pragma once

#include <GL/glew.h>

#include <unordered_map>

class StaticCasterDepth {
public:
    StaticCasterDepth() = default;
    StaticCasterDepth(const StaticCasterDepth&) = delete;
    StaticCasterDepth& operator=(const StaticCasterDepth&) = delete;
    ~StaticCasterDepth();

    // Copies the kept depth of `light` into its cube `texture` (`size` texels a side). False when
    // there is none for this size and `state`: the caller clears the map, draws the casters that
    // never move and calls keep.
    bool restore(const void* light, GLuint texture, int size, unsigned state);
    // Keeps what `texture` holds now as the depth of `light`'s casters that never move.
    void keep(const void* light, GLuint texture, int size, unsigned state);
    void forget(const void* light);
    void forgetAll();

private:
    struct Copy {
        GLuint texture = 0;
        int size = 0;
        unsigned state = 0;
    };
    std::unordered_map<const void*, Copy> copies;
};
