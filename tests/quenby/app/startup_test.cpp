// Start-up of the help viewer: the program profile, the usage box, the
// language choice, the GUI profile path and a window that cannot be made.
#include <gtest/gtest.h>

#include "quenby/app/viewer_fixture.h"

using namespace ViewerTest;
using TestSupport::FileText;

TEST(ViewerStartup, WithoutProfileWritesProgramAndShowsTheEmptyTab) {
    ViewerRun run;
    ASSERT_TRUE(run.Start(""));
    EXPECT_NE(FileText(run.profile).find("[Common]"), std::string::npos);
    EXPECT_NE(FileText(run.profile).find("Program=Quenby"), std::string::npos);
    EXPECT_EQ(TestSupport::WindowTitle(run.Window()), L"Quenby");
    EXPECT_EQ(run.TabLabels(), "*");
}
