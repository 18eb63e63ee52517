#pragma once
// The fixture of the tests that drive the window model without Qt: the form over a fresh
// working folder, with the scripted platform.

#include <gtest/gtest.h>

#include "support/fields.h"
#include "support/scripted_platform.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex::test {

class FormTest : public testing::Test {
protected:
    TempDir dir;
    ScriptedPlatform platform;
    Holmtex form{platform, dir.path()};
};

}  // namespace holmtex::test
