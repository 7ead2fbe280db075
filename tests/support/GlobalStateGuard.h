// GlobalState is one record for the whole process, so a test that changes it (the window size, the
// clock, a key's effect, the camera's planes) would change what every later test sees, and results
// would depend on the order the tests run in, or on a second run of the same tests. The same holds
// for the game flow's flags (gameFlow()), the culling flag the F2 key toggles, and the shader and
// geometry registries. Header only, shared by the context-free and the GL tests.
#pragma once

#include "app/GameFlow.h"
#include "app/GlobalState.h"
#include "app/Input.h"
#include "models/GeometryRegistry.h"
#include "shaders/ShaderRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Puts GlobalState back as it was when the guard was made. A test or fixture that writes the record,
// directly or through the code it drives, holds one for its whole length.
class GlobalStateGuard {
public:
    GlobalStateGuard() : saved(GlobalState::instance()) {}
    ~GlobalStateGuard() { GlobalState::instance() = saved; }
    GlobalStateGuard(const GlobalStateGuard&) = delete;
    GlobalStateGuard& operator=(const GlobalStateGuard&) = delete;

private:
    const GlobalState saved;
};

// Drops the shader programs and geometries registered while it lives, so a test that registers
// entries of its own (an out-of-range shader type, a model that fails to load) sees them made, and
// reported, again when it runs a second time. Entries that were there before stay.
class RegistryGuard {
public:
    RegistryGuard() : shaders(registeredShaderTypes()), geometries(registeredGeometryNames()) {}
    ~RegistryGuard() {
        for (const std::int32_t type : registeredShaderTypes())
            if (std::find(shaders.begin(), shaders.end(), type) == shaders.end()) forgetShader(type);
        for (const std::string& name : registeredGeometryNames())
            if (std::find(geometries.begin(), geometries.end(), name) == geometries.end()) forgetGeometry(name);
    }
    RegistryGuard(const RegistryGuard&) = delete;
    RegistryGuard& operator=(const RegistryGuard&) = delete;

private:
    const std::vector<std::int32_t> shaders;
    const std::vector<std::string> geometries;
};

// Fails the test that ends with GlobalState, the game flow's flags or the culling flag different from
// how it started (after its fixture is gone), and puts them back so that the tests after it still
// start from the same state. (Registries only grow as tests ask for programs and models; a test that
// registers entries of its own holds a RegistryGuard.)
class GlobalStateCheck : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override {
        before = GlobalState::instance();
        flowBefore = gameFlow();
        cullingBefore = cullingEnabled;
    }
    void OnTestEnd(const testing::TestInfo&) override {
        if (!(GlobalState::instance() == before)) {
            ADD_FAILURE() << "the test changed GlobalState and left it changed: hold a testsupport::GlobalStateGuard";
            GlobalState::instance() = before;
        }
        if (!(gameFlow() == flowBefore)) {
            ADD_FAILURE() << "the test changed gameFlow() and left it changed";
            gameFlow() = flowBefore;
        }
        if (cullingEnabled != cullingBefore) {
            ADD_FAILURE() << "the test changed cullingEnabled and left it changed";
            cullingEnabled = cullingBefore;
        }
    }

private:
    GlobalState before;
    GameFlow flowBefore;
    bool cullingBefore = true;
};

// Makes every test of the binary checked by GlobalStateCheck; call once, before the tests run.
inline void checkGlobalStateAfterEveryTest() {
    testing::UnitTest::GetInstance()->listeners().Append(new GlobalStateCheck);
}

}  // namespace testsupport
