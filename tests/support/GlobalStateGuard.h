// GlobalState is one record for the whole process, so a test that changes it (the window size, the
// clock, a key's effect, the camera's planes) would change what every later test sees, and results
// would depend on the order the tests run in. Header only, shared by the context-free and the GL tests.
#pragma once

#include "app/GlobalState.h"

#include <gtest/gtest.h>

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

// Fails the test that ends with GlobalState different from how it started (after its fixture is
// gone), and puts the record back so that the tests after it still start from the same state.
class GlobalStateCheck : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override { before = GlobalState::instance(); }
    void OnTestEnd(const testing::TestInfo&) override {
        if (GlobalState::instance() == before) return;
        ADD_FAILURE() << "the test changed GlobalState and left it changed: hold a testsupport::GlobalStateGuard";
        GlobalState::instance() = before;
    }

private:
    GlobalState before;
};

// Makes every test of the binary checked by GlobalStateCheck; call once, before the tests run.
inline void checkGlobalStateAfterEveryTest() {
    testing::UnitTest::GetInstance()->listeners().Append(new GlobalStateCheck);
}

}  // namespace testsupport
