#include "CopyFixture.h"

#include "engine/CopyDestination.h"
#include "support/Mounts.h"

#include <QFile>

namespace {

using CopyLayoutTest = CopyFixture;
using Animation = UserInterface::Animation;

TEST_F(CopyLayoutTest, FileAssociationMirrorsUnderItsFolderName) {
    const QString file = write("src/Docs/a.txt", "hello");
    const QString root = folder("dst");
    addAssociation(file, false);
    addDestination(file, root + "/");
    addDestination(file, root + "/Back");

    copy(file, file);

    EXPECT_EQ(readWholeFile(root + "/Docs/a.txt"), "hello");
    EXPECT_EQ(readWholeFile(root + "/Back/Docs/a.txt"), "hello");
    EXPECT_EQ(state->Recent->Item(1)->DestPath, root + "/Docs");
    EXPECT_EQ(state->Recent->Item(2)->DestPath, root + "/Back/Docs");
    EXPECT_EQ(logged(), QStringList(2, "Success: Copy saved"));
    EXPECT_EQ(notified(), QStringList(2, "Copy saved"));
    EXPECT_EQ(ui.animations, std::vector{Animation::Nod});
    EXPECT_EQ(ui.popupShows, 1);
}

TEST_F(CopyLayoutTest, FolderAssociationKeepsSubFoldersBelowItsName) {
    const QString source = folder("src/Docs");
    const QString dst = folder("dst");
    addAssociation(source, true, true);
    addDestination(source, dst);

    copy(source, write("src/Docs/sub/deeper/b.txt", "b"));
    copy(source, write("src/Docs/top.txt", "t"));

    EXPECT_EQ(readWholeFile(dst + "/Docs/sub/deeper/b.txt"), "b");
    EXPECT_EQ(readWholeFile(dst + "/Docs/top.txt"), "t");
}

TEST_F(CopyLayoutTest, FileInAMountPointMirrorsUnderTheMountName) {
    EXPECT_EQ(CopyDestination::mirroredFolder(*state->fso, "/dst", "/a", false, "/a"), "/dst/root");

    QString reason;
    const auto mount = ScratchMount::tmpfs(1024, &reason);
    if (!mount)
        GTEST_SKIP() << reason.toStdString();
    const QString m = mount->mountPoint();
    QDir().mkpath(m + "/sub");
    for (const QString& f : {m + "/a.txt", m + "/sub/b.txt"}) {
        QFile out(f);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    }
    const QString dst = folder("dst");
    addAssociation(m, true, true);
    addDestination(m, dst);

    copy(m, m + "/a.txt");
    copy(m, m + "/sub/b.txt");

    // A mount point has no name of its own: its sub-folders keep only their own path.
    EXPECT_TRUE(exists(dst + "/" + Paths::fileName(m) + "/a.txt"));
    EXPECT_TRUE(exists(dst + "/sub/b.txt"));
}

TEST_F(CopyLayoutTest, DestinationInsideRecursiveSourceIsRefused) {
    const QString source = folder("src/Docs");
    const QString file = write("src/Docs/a.txt", "a");
    addAssociation(source, true, true);
    addDestination(source, source + "/backup");
    addDestination(source, folder("src/Docs2"));

    copy(source, file);

    EXPECT_EQ(logged(), QStringList({"Error: Would save into recursive source folder",
                                     "Success: Copy saved"}));
    EXPECT_FALSE(exists(source + "/backup"));
    EXPECT_EQ(ui.animations, std::vector{Animation::Shrug});

    state->Backups->Item(1)->Recursive = false;
    copy(source, file);
    EXPECT_TRUE(exists(source + "/backup/Docs/a.txt"));
}

TEST_F(CopyLayoutTest, OddNamesCopyWholeAndReplaceWithoutLeftovers) {
    const QString relative = QString::fromUtf8("src/Dökü mañ/新 report\nv2 ü.txt");
    const QString file = write(relative, "one");
    const QString dst = folder("dst");
    addAssociation(file, false);
    addDestination(file, dst);
    const QString target = dst + QString::fromUtf8("/Dökü mañ/新 report\nv2 ü.txt");

    copy(file, file);
    write(relative, "two, longer");
    const QDateTime stamp(QDate(2020, 5, 6), QTime(7, 8, 9));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(stamp, QFile::FileModificationTime));
    f.close();
    copy(file, file);

    EXPECT_EQ(readWholeFile(target), "two, longer");
    EXPECT_EQ(QFileInfo(target).lastModified(), stamp);
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    EXPECT_EQ(QDir(Paths::parent(target)).entryList(all), QStringList{Paths::fileName(target)});
}

} // namespace
