// Where a restored window goes when its monitor is gone, and where the help documents and the
// program's icon are found.

#include "presentation/HelpFiles.h"
#include "presentation/ProgramIcon.h"
#include "presentation/ScreenPlacement.h"
#include "support/TempHome.h"

#include <QDir>
#include <functional>
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

// A program run from its build folder uses the files beside it; an installed one, those of its
// prefix; a program whose file name the system no longer knows finds neither.
TEST(FilesOfTheProgram, TheOneBesideTheProgramWinsOverTheInstalledOne) {
    const struct {
        const char* what;
        std::function<QString(const QString&)> find;
        QString installed, beside;
    } cases[] = {
        {"manual", [](const QString& p) { return HelpFiles::find(HelpFiles::manual, p); },
         "share/doc/quillmot/Manual.html", "bin/Manual.html"},
        {"icon", &ProgramIcon::find, "share/icons/hicolor/scalable/apps/org.quillmot.Quillmot.svg",
         "bin/quillmot.svg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home;
        const QString program = home.makeFolder("prefix/bin");
        EXPECT_TRUE(c.find(program).isEmpty());
        // Another program's icon in the theme is not ours.
        home.writeFile("prefix/share/icons/hicolor/scalable/apps/quillmot.svg", "<svg/>");
        EXPECT_TRUE(c.find(program).isEmpty());
        const QString installed = home.writeFile("prefix/" + c.installed, "<x/>");
        EXPECT_EQ(c.find(program), installed);
        const QString beside = home.writeFile("prefix/" + c.beside, "<x/>");
        EXPECT_EQ(c.find(program), beside);
    }
    EXPECT_TRUE(ProgramIcon::find(QString()).isEmpty());
}
