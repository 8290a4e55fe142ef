// What ctest hands every test binary: the folders of this run. A binary that fell back to
// the paths compiled into it would read another checkout's templates and data without a
// word, so this is checked here once for the one place that sets them
// (cmake/TallyleafTesting.cmake). Run through ctest, not alone.
#include <QByteArray>
#include <gtest/gtest.h>

namespace {

TEST(RunEnvironmentTest, CtestHandsEveryBinaryTheFoldersOfTheRun)
{
    const struct {
        const char* name;
        const char* value;
    } folders[] = {
        {"TALLYLEAF_SOURCE_DIR", TALLYLEAF_RUN_SOURCE_DIR},
        {"TALLYLEAF_BINARY_DIR", TALLYLEAF_RUN_BINARY_DIR},
    };
    for (const auto& folder : folders)
        EXPECT_EQ(qgetenv(folder.name), QByteArray(folder.value)) << folder.name;
}

} // namespace
