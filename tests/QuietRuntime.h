#pragma once
// A test environment for binaries that show windows: this module's Application and
// Screen exist for the whole run, and since no person answers under the offscreen
// platform, a message box that would be shown fails the test that caused it.
//
// Register it once per binary:
//   [[maybe_unused]] ::testing::Environment* const environment =
//       ::testing::AddGlobalTestEnvironment(new testsupport::QuietRuntime);
#include <gtest/gtest.h>

#include "platform/Forms.h"

namespace testsupport {

class QuietRuntime : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitRuntimeObjects();
        Application->MessageBoxHook = [](const QString& text, const QString&, int) {
            ADD_FAILURE() << "unexpected message box: " << text.toStdString();
            return IDOK;
        };
    }
    void TearDown() override { FreeRuntimeObjects(); }
};

} // namespace testsupport
