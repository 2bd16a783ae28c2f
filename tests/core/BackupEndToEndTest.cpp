// The real program, hidden on the offscreen platform, backing up for real: a saved file reaches
// every destination of its association with the same content, time and permissions, and each
// result is printed on standard output.

#include "platform/FileSystem.h"
#include "support/ProgramRun.h"
#include "support/TempHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray line(const QString& text) {
    return text.toUtf8() + "\r\n";
}
QByteArray flag(bool b) {
    return b ? "1\r\n" : "0\r\n";
}

QByteArray association(const QString& source, const QString& volume, bool folder, bool recursive) {
    return line(source) + line(volume) + line("06.12.2026 10:00:00") + line("Never") +
           line("Never") + flag(folder) + flag(true) + flag(false) + line("3") + flag(recursive) +
           flag(false) + flag(true) + flag(true);
}

// The accepted-name list for the file system holding `path`: its name, or NUL NUL when it has
// none.
QString volumeListFor(const QString& path) {
    FileSystem fs;
    const QString name = fs.VolumeName(fs.GetDriveName(path));
    return name.isEmpty() ? QString(2, QChar(0)) : name;
}

bool waitForContent(const QString& path, const QByteArray& content, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (readWholeFile(path) == content)
            return true;
        QThread::msleep(20);
    }
    return false;
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
    const QString volume = volumeListFor(docs);
    FileSystem fs;
    const QString destVolume = fs.VolumeName(fs.GetDriveName(home.path()));

    QByteArray associations =
        association(notes, volume, false, false) + association(docs, volume, true, true);
    QByteArray destinations;
    for (const QString& source : {notes, docs})
        for (const QString& dest : {destA, destB})
            destinations += line(dest) + line(source) + line(destVolume);
    home.writeFile(".config/Quillmot/usrdatab", associations);
    home.writeFile(".config/Quillmot/usrdatad", destinations);

    ProgramRun run(home.path());
    ASSERT_TRUE(run.start({"nowin"}));
    ASSERT_TRUE(run.waitUntilListening());
    QThread::msleep(500); // the first tick sets the detection dates

    ::chmod(notes.toLocal8Bit().constData(), 0640); // the copy must carry the new mode too
    home.writeFile("Notes/todo.txt", "second\n");
    const QString report = home.writeFile("Docs/sub/report.txt", "final version\n");

    for (const QString& dest : {destA, destB}) {
        const QString noteCopy = dest + "/Notes/todo.txt";
        const QString reportCopy = dest + "/Docs/sub/report.txt";
        ASSERT_TRUE(waitForContent(noteCopy, "second\n", 10000)) << noteCopy.toStdString();
        ASSERT_TRUE(waitForContent(reportCopy, "final version\n", 10000))
            << reportCopy.toStdString();
        expectSameTimeAndMode(notes, noteCopy);
        expectSameTimeAndMode(report, reportCopy);
    }

    ASSERT_TRUE(run.terminate(5000));
    const QString out = run.output();
    EXPECT_EQ(out.count("Success: Copy saved"), 4) << out.toStdString();
    EXPECT_TRUE(out.contains(destA + "/Notes")) << out.toStdString();
    EXPECT_TRUE(out.contains(destB + "/Docs/sub")) << out.toStdString();
    // Nothing of Quillmot's own temporary files is left in a destination.
    for (const QString& dest : {destA + "/Notes", destB + "/Docs/sub"})
        EXPECT_EQ(QDir(dest).entryList(QDir::Files | QDir::Hidden).size(), 1) << dest.toStdString();
}
