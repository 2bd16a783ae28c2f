// The icon the log-in start entry shows, for a program run from its build folder and for one
// installed into a prefix.

#include "presentation/ProgramIcon.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

TEST(ProgramIcon, TheIconBesideTheProgramWinsOverTheInstalledThemeIcon) {
    TempHome home;
    const QString program = home.makeFolder("prefix/bin");
    EXPECT_TRUE(ProgramIcon::find(program).isEmpty());
    // Another program's icon in the theme is not ours.
    home.writeFile("prefix/share/icons/hicolor/scalable/apps/quillmot.svg", "<svg/>");
    EXPECT_TRUE(ProgramIcon::find(program).isEmpty());
    const QString installed = home.writeFile(
        "prefix/share/icons/hicolor/scalable/apps/org.quillmot.Quillmot.svg", "<svg/>");
    EXPECT_EQ(ProgramIcon::find(program), installed);
    const QString beside = home.writeFile("prefix/bin/quillmot.svg", "<svg/>");
    EXPECT_EQ(ProgramIcon::find(program), beside);
    // A program whose file name the system no longer knows has no folder to look in.
    EXPECT_TRUE(ProgramIcon::find(QString()).isEmpty());
}
