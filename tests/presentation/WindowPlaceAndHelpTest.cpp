// Where a restored window goes when its monitor is gone, and where the help documents are found.

#include "presentation/HelpFiles.h"
#include "presentation/ScreenPlacement.h"
#include "support/TempHome.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(ScreenPlacement, AWindowOnAMonitorThatIsGoneComesBackOntoThePrimaryScreen) {
    const QRect primary(0, 0, 28800, 16200); // 1920 x 1080 pixels
    const QRect right(28800, 0, 57600, 32400);
    const QRect onRight(40000, 3000, 12000, 8000);
    EXPECT_EQ(ScreenPlacement::ontoAScreen(onRight, {primary, right}, primary), onRight);
    const QRect back = ScreenPlacement::ontoAScreen(onRight, {primary}, primary);
    EXPECT_EQ(back.size(), onRight.size());
    EXPECT_TRUE(primary.contains(back));

    // Only its bottom edge shows: the title bar cannot be grabbed.
    const QRect above(2000, -7800, 12000, 8000);
    EXPECT_TRUE(primary.contains(ScreenPlacement::ontoAScreen(above, {primary}, primary)));
    // Larger than the screen: it shrinks to fit.
    const QRect huge(-90000, 0, 60000, 40000);
    EXPECT_EQ(ScreenPlacement::ontoAScreen(huge, {primary}, primary), primary);
}

TEST(HelpFiles, TheDocumentBesideTheProgramWinsOverTheInstalledOne) {
    TempHome home;
    const QString program = home.makeFolder("prefix/bin");
    EXPECT_TRUE(HelpFiles::find(HelpFiles::manual, program).isEmpty());
    const QString installed = home.writeFile("prefix/share/doc/quillmot/Manual.html", "<html>");
    EXPECT_EQ(HelpFiles::find(HelpFiles::manual, program), installed);
    const QString beside = home.writeFile("prefix/bin/Manual.html", "<html>");
    EXPECT_EQ(HelpFiles::find(HelpFiles::manual, program), beside);
    EXPECT_TRUE(HelpFiles::find(HelpFiles::readme, program).isEmpty());
}
