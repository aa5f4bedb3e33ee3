// The GL error report: built with TESSEL_GL_DEBUG, a deliberately bad call
// made on the renderer's context is logged as one error line that names the
// call; a shipped build leaves debug output off and logs nothing.
#include <gtest/gtest.h>

#include <string>

#include "render/gl.h"
#include "tests/render/gl_harness.h"

namespace {

class GLErrorReport : public gltest::RendererTest {};

}  // namespace

#ifdef TESSEL_GL_DEBUG
TEST_F(GLErrorReport, ABadCallIsLoggedWithTheCallThatRaisedIt) {
    EXPECT_TRUE(glIsEnabled(GL_DEBUG_OUTPUT));
    glEnable(0x1234);  // no such capability
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0].rfind("ERROR: GL error: ", 0), 0u) << logger.lines[0];
    EXPECT_NE(logger.lines[0].find("glEnable"), std::string::npos) << logger.lines[0];
    logger.lines.clear();
    glEnable(GL_BLEND);  // a good call says nothing
    EXPECT_TRUE(logger.lines.empty());
    while (glGetError() != GL_NO_ERROR) {
    }
}
#else
TEST_F(GLErrorReport, ShippedBuildsReportNothing) {
    EXPECT_FALSE(glIsEnabled(GL_DEBUG_OUTPUT));
    glEnable(0x1234);
    EXPECT_TRUE(logger.lines.empty());
    while (glGetError() != GL_NO_ERROR) {
    }
}
#endif
