// The log-in start entry: a valid desktop entry that starts this program hidden whatever its
// path, recognised under any name unless it is switched off, removed whatever its name, and
// never half written.

#include "platform/StartupShortcut.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace StartupShortcut;

namespace {

QString makeProgram(const TempHome& home, const QString& relative) {
    const QString path = home.writeFile(relative, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString autostart(const TempHome& home) {
    return home.path() + "/.config/autostart";
}

QString entryFor(const QString& exec, const QString& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=Other\nExec=" + exec + "\n" + extra;
}

} // namespace

TEST(StartupShortcut, TickedEntryIsValidAndStartsAnAwkwardProgramPathHidden) {
    TempHome home;
    const QString program = makeProgram(home, "my apps/it's \"q\" $HOME \\ 100%/quillmot");
    EXPECT_FALSE(CheckStartup(program)); // no autostart folder yet: it is made when needed

    ASSERT_TRUE(UpdateStartupShortcut(true, program, home.path() + "/icon.svg"));
    ASSERT_TRUE(UpdateStartupShortcut(true, program, home.path() + "/icon.svg"));
    EXPECT_EQ(everything(autostart(home)), QStringList({"Quillmot.desktop"}));
    const QString entry = autostart(home) + "/Quillmot.desktop";
    EXPECT_TRUE(CheckStartup(program));
    EXPECT_EQ(ReadShortcutTarget(entry), program);

    const QString text = QString::fromUtf8(readWholeFile(entry));
    EXPECT_TRUE(text.contains("\nComment=Data Preservation Software\n"));
    EXPECT_TRUE(text.contains("\nIcon=" + home.path() + "/icon.svg\n"));
    const qsizetype exec = text.indexOf("\nExec=") + 6;
    const QString execLine = text.mid(exec, text.indexOf('\n', exec) - exec);
    // The value escapes run before the quoting: a literal backslash is four of them.
    EXPECT_TRUE(execLine.contains(R"(\\\\)")) << execLine.toStdString();
    EXPECT_TRUE(execLine.endsWith(" nowin"));

    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    QProcess validate;
    validate.start("desktop-file-validate", {entry});
    ASSERT_TRUE(validate.waitForFinished(30000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    EXPECT_TRUE(validate.readAllStandardOutput().trimmed().isEmpty());
}

TEST(StartupShortcut, BrokenEntriesReadAsNothing) {
    TempHome home;
    const QString folder = autostart(home);
    const QString program = makeProgram(home, "bin/quillmot");
    for (const QByteArray& broken :
         {QByteArray("[Desktop Entry]\nExec=\"" + program.toUtf8() + " nowin\n"),
          QByteArray("[Desktop Entry]\nExec=\n"), QByteArray("[Desktop Entry]\nName=x\n"),
          QByteArray("Exec=" + program.toUtf8() + "\n"), // outside the group
          QByteArray("\xff\xfe\0\x01garbage\n\n=\n[", 14), QByteArray(3 << 20, 'x')}) {
        home.writeFile(".config/autostart/broken.desktop", broken);
        EXPECT_FALSE(CheckStartup(program));
    }
    EXPECT_TRUE(ReadShortcutTarget(folder + "/broken.desktop").isEmpty());
    EXPECT_TRUE(ReadShortcutTarget(folder + "/missing.desktop").isEmpty());
    EXPECT_FALSE(CreateShortcut(folder + "/x.desktop", "", "", "nowin", "", 0, 7));
    EXPECT_FALSE(CreateShortcut("", program, "", "nowin", "", 0, 7));
}

// An entry under another name counts when it is enabled and its program resolves to this one
// (through a link or PATH); clearing the box removes it and leaves switched-off entries alone.
TEST(StartupShortcut, EntriesUnderOtherNamesCountUnlessSwitchedOffAndClearingRemovesThem) {
    TempHome home;
    const QString program = makeProgram(home, "bin/quillmot");
    const QString folder = home.makeFolder(".config/autostart");
    QFile::link(program, home.path() + "/bin/qm-link");

    home.writeFile(".config/autostart/hidden.desktop",
                   entryFor(program + " nowin", "Hidden=true\n").toUtf8());
    home.writeFile(".config/autostart/off.desktop",
                   entryFor(program, "X-GNOME-Autostart-enabled=false\n").toUtf8());
    home.writeFile(".config/autostart/other-program.desktop", entryFor("/bin/true").toUtf8());
    home.writeFile(".config/autostart/notes.txt", entryFor(program).toUtf8());
    EXPECT_FALSE(CheckStartup(program));

    home.writeFile(".config/autostart/mine.desktop",
                   entryFor("\"" + home.path() + "/bin/qm-link\" nowin").toUtf8());
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", home.path().toUtf8() + "/bin:" + oldPath);
    home.writeFile(".config/autostart/by-name.desktop", entryFor("quillmot nowin").toUtf8());
    EXPECT_TRUE(CheckStartup(program));

    EXPECT_TRUE(UpdateStartupShortcut(false, program, {}));
    qputenv("PATH", oldPath);
    EXPECT_FALSE(CheckStartup(program));
    EXPECT_EQ(everything(folder),
              QStringList({"hidden.desktop", "notes.txt", "off.desktop", "other-program.desktop"}));
}

TEST(StartupShortcut, AFolderThatCannotHoldTheEntryRefusesTheChange) {
    TempHome home;
    const QString program = makeProgram(home, "bin/quillmot");
    // The autostart "folder" is a file: it can be neither made nor written.
    home.writeFile(".config/autostart", "not a folder");
    EXPECT_FALSE(UpdateStartupShortcut(true, program, {}));
    EXPECT_TRUE(UpdateStartupShortcut(false, program, {}));
    EXPECT_FALSE(CheckStartup(program));
    QFile::remove(autostart(home));

    const QString folder = home.makeFolder(".config/autostart");
    ASSERT_TRUE(UpdateStartupShortcut(true, program, {}));
    const auto readOnly = ScratchMount::readOnlyBind(home.path() + "/.config");
    SKIP_UNLESS_MOUNTED(readOnly);
    qputenv("XDG_CONFIG_HOME", readOnly->mountPoint().toUtf8());
    EXPECT_TRUE(CheckStartup(program));
    EXPECT_FALSE(UpdateStartupShortcut(false, program, {}));
    EXPECT_FALSE(UpdateStartupShortcut(true, program, {}));
    EXPECT_TRUE(CheckStartup(program));
    EXPECT_EQ(everything(folder), QStringList({"Quillmot.desktop"}));
}
