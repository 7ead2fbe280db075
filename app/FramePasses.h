// The frame's passes in one place, in their fixed order: the level's shadow and depth passes, the
// scene, the resolve, the volumetric light, the bloom blur, the composite onto the window, and the
// title overlays. Each pass begins by stating its target, viewport, clear, culled faces and blending
// (gl/PassState.h), so no pass relies on what another left behind. The frame loop decides what a
// frame draws (FramePlan); this draws it and, when asked, keeps the finished picture.
#pragma once

#include "app/RenderTargets.h"

#include <GL/glew.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class FrameProfiler;
class Level;
class Object;
class Surface;
class TitleScreens;
struct PassState;

// The two full-window post-processing quads and their surfaces (blur, composite).
struct PostProcessing {
    std::shared_ptr<Surface> blurSurface;
    std::shared_ptr<Object> blurScreen;
    std::shared_ptr<Surface> compositeSurface;
    std::shared_ptr<Object> compositeScreen;
};

// Creates the blur and composite surfaces and their screen objects.
PostProcessing createPostProcessing();

// What one drawn frame shows.
struct FramePlan {
    bool level = false;      // the play phase: the level's passes
    bool wireframe = false;  // the scene as lines straight onto the window, no post-processing
    int pulses = 0;          // the scene pass's emission pulses
    bool intro = false;      // the intro image over the picture
    bool credits = false;    // the credits image over the picture
};

class FramePasses {
public:
    // `screens` may be null (tests): no title images.
    FramePasses(const RenderTargets& targets, PostProcessing& post, Level& level, TitleScreens* screens);

    // Every pass of a frame that `plan` asks for, in the frame's order, onto framebuffer 0.
    void draw(const FramePlan& plan);
    // The play phase's level passes alone: point, directional and spot shadows, camera depth, then the
    // scene with `pulses` emission pulses into `sceneTarget` (the scene target; 0 for wireframe).
    void levelPasses(GLuint sceneTarget, int pulses);
    // The play phase's post-processing alone: resolve, volumetric light, bloom blur, composite.
    void postProcess();

    // Tools: time every pass (null: none); the frame loop attaches it for the play frames it measures.
    void setProfiler(FrameProfiler* value) { profiler = value; }
    // Offline tools: read each finished picture back (RGBA, opaque, top row first).
    void keepFinishedPictures(bool keep) { keepPictures = keep; }
    const std::vector<std::uint8_t>& finishedPicture() const { return picture; }

private:
    void pass(const char* name, const PassState& state, const std::function<void()>& work);
    void resolve();
    void volumetricLight();
    void bloomBlur();
    void composite();
    void readFinishedPicture();

    const RenderTargets& targets;
    PostProcessing& post;
    Level& level;
    TitleScreens* screens;
    FrameProfiler* profiler = nullptr;
    bool keepPictures = false;
    std::vector<std::uint8_t> picture;
};
