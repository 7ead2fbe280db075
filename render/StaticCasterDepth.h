// The depth that casters which never move leave in a point light's cube map, drawn once per light and
// copied into the map at the start of each of its passes, so a frame draws only the casters that
// move. The nearest depth wins whatever the order of drawing, so the map ends as if everything had
// been drawn into it. Only the faces the moving casters reached last time are copied back: the others
// still hold the kept depth (a face is 16 MiB, and they mostly reach one to four). A copy holds only
// for the draw state it was drawn with (`state`: the caller's key of face culling and polygon mode),
// and a light that is off gives its copy up (a 2048 cube is 96 MiB).
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
    // After restore or keep: the moving casters were drawn into the faces of `faces` (bit k: face k,
    // +X, -X, +Y, -Y, +Z, -Z), which the next restore copies back.
    void drewMoving(const void* light, unsigned faces);
    // The cubes may no longer hold what was copied or drawn into them (a light took another's storage,
    // which is cleared): the next restore of each light copies every face.
    void cubesChanged();
    void forget(const void* light);
    void forgetAll();

private:
    struct Copy {
        GLuint texture = 0;
        int size = 0;
        unsigned state = 0;
        unsigned changedFaces = 0;  // faces that differ from the kept depth
    };
    std::unordered_map<const void*, Copy> copies;
};
