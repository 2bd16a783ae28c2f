// The real program, hidden on the offscreen platform, backing up for real: a saved file reaches
// every destination of its association with the same content, time and permissions, and each
// result is printed on standard output.

#include "platform/FileSystem.h"
#include "support/ProgramRun.h"
#include "support/TempHome.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A folder association is recursive here, a file association not.
QStringList association(const QString& source, const QString& volume, bool folder) {
    const QString flag = folder ? "1" : "0";
    return {source, volume, "06.12.2026 10:00:00", "Never", "Never", flag, "1", "0", "3", flag, "0",
            "1",    "1"};
}

void expectSameTimeAndMode(const QString& a, const QString& b) {
    struct stat sa = {}, sb = {};
    ASSERT_EQ(::stat(a.toLocal8Bit().constData(), &sa), 0);
    ASSERT_EQ(::stat(b.toLocal8Bit().constData(), &sb), 0) << b.toStdString();
    EXPECT_EQ(sa.st_mtim.tv_sec, sb.st_mtim.tv_sec) << b.toStdString();
    EXPECT_EQ(sa.st_mtim.tv_nsec, sb.st_mtim.tv_nsec) << b.toStdString();
    EXPECT_EQ(sa.st_mode & 07777, sb.st_mode & 07777) << b.toStdString();
}

} // namespace

TEST(BackupEndToEnd, SavedFilesReachBothDestinationsWithTimeAndPermissions) {
    TempHome home;
    const QString docs = home.makeFolder("Docs");
    const QString notes = home.writeFile("Notes/todo.txt", "first\n");
    home.writeFile("Docs/sub/report.txt", "draft\n");
    const QString destA = home.path() + "/BackupA";
    const QString destB = home.path() + "/BackupB/deeper";
    // The accepted-name list for the home's file system: its name, or NUL NUL when it has none.
    FileSystem fs;
    const QString name = fs.VolumeName(fs.GetDriveName(home.path()));
    const QString volume = name.isEmpty() ? QString(2, QChar(0)) : name;

    QStringList destinations;
    for (const QString& source : {notes, docs})
        for (const QString& dest : {destA, destB})
            destinations << dest << source << name;
    home.writeAppData(
        "usrdatab", crlfLines(association(notes, volume, false) + association(docs, volume, true)));
    home.writeAppData("usrdatad", crlfLines(destinations));

    ProgramRun run(home.path());
    ASSERT_TRUE(run.start({"nowin"}));

    ::chmod(notes.toLocal8Bit().constData(), 0640); // the copy must carry the new mode too
    home.writeFile("Notes/todo.txt", "second\n");
    const QString report = home.writeFile("Docs/sub/report.txt", "final version\n");

    for (const QString& dest : {destA, destB}) {
        const QString noteCopy = dest + "/Notes/todo.txt";
        const QString reportCopy = dest + "/Docs/sub/report.txt";
        ASSERT_TRUE(QTest::qWaitFor([&] { return readWholeFile(noteCopy) == "second\n"; }, 10000));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return readWholeFile(reportCopy) == "final version\n"; }, 10000));
        expectSameTimeAndMode(notes, noteCopy);
        expectSameTimeAndMode(report, reportCopy);
    }

    ASSERT_TRUE(run.terminate(5000));
    const QString out = QString::fromUtf8(run.output());
    EXPECT_EQ(out.count("Success: Copy saved"), 4) << out.toStdString();
    EXPECT_TRUE(out.contains(destA + "/Notes")) << out.toStdString();
    EXPECT_TRUE(out.contains(destB + "/Docs/sub")) << out.toStdString();
    // Nothing of Quillmot's own temporary files is left in a destination.
    for (const QString& dest : {destA + "/Notes", destB + "/Docs/sub"})
        EXPECT_EQ(QDir(dest).entryList(QDir::Files | QDir::Hidden).size(), 1) << dest.toStdString();
}
