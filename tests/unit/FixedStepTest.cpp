#include "app/FixedStep.h"
#include "shaders/Surface.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>

namespace {

TEST(FixedStep, RunsWholeStepsAndCarriesTheRemainder) {
    struct Case { const char* name; float carried, delta; int steps; float remainder; };
    const Case cases[] = {
        {"0.04 s frame", 0.0f, 0.04f, 2, 0.04f - 2 * kFixedStep},      // about 0.0067 s carried
        {"0.01 s frame", 0.0f, 0.01f, 0, 0.01f},
        {"carry completes a step", 0.01f, 0.01f, 1, 0.02f - kFixedStep},
        {"zero-length frame", 0.005f, 0.0f, 0, 0.005f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        float accumulator = c.carried;
        EXPECT_EQ(consumeFixedSteps(accumulator, c.delta), c.steps);
        EXPECT_NEAR(accumulator, c.remainder, 1e-6f);
    }
}

TEST(NormalMatrix, UndoesNonUniformScale) {
    // A normal (1,1,0)/sqrt2 on a surface stretched 2x along x must lean toward y: scale x by 1/2.
    const glm::mat3 n = normalMatrix(glm::scale(glm::mat4(1.0f), glm::vec3(2.0f, 1.0f, 1.0f)));
    EXPECT_EQ(n[0], glm::vec3(0.5f, 0.0f, 0.0f));
    EXPECT_EQ(n[1], glm::vec3(0.0f, 1.0f, 0.0f));
    // Translation does not reach the normal matrix.
    const glm::mat3 moved = normalMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(3.0f, 4.0f, 5.0f)));
    EXPECT_EQ(moved, glm::mat3(1.0f));
}

}  // namespace
