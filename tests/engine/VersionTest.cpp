#include "EngineFixture.h"

namespace {

class VersionTest : public CopyFixture {
protected:
    QString file, dir;

    void SetUp() override {
        CopyFixture::SetUp();
        file = write("src/Docs/n.txt", "v1");
        const auto association = addAssociation(file, false);
        association->KeepBackup = true;
        association->Versions = 3;
        addDestination(file, folder("dst"));
        dir = home.path() + "/dst/Docs";
    }
    void copyVersion(const QByteArray& content) {
        write("src/Docs/n.txt", content);
        copy(file, file);
    }
    // The destination copy followed by its versions P-1 .. P-3.
    QList<QByteArray> copies(const QString& base = "PrevSave") {
        QList<QByteArray> all{readWholeFile(dir + "/n.txt")};
        for (int k = 1; k <= 3; ++k)
            all << readWholeFile(dir + "/" + base + "-" + QString::number(k) + "/n.txt");
        return all;
    }
};

TEST_F(VersionTest, FiveCopiesRotateThroughThreeVersions) {
    copy(file, file);
    EXPECT_EQ(logged(), QStringList{"Success: Copy saved"});
    EXPECT_EQ(notified(), QStringList{"Copy saved"});
    EXPECT_FALSE(QFileInfo::exists(dir + "/PrevSave-1"));

    for (const QByteArray v : {"v2", "v3", "v4"})
        copyVersion(v);
    EXPECT_EQ(copies(), QList<QByteArray>({"v4", "v3", "v2", "v1"}));
    copyVersion("v5");
    EXPECT_EQ(copies(), QList<QByteArray>({"v5", "v4", "v3", "v2"}));
    EXPECT_FALSE(QFileInfo::exists(dir + "/PrevSave-4"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/PrevSave-1-S"));
    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
    EXPECT_EQ(notified().last(), "Copy saved && Previous version stored");
}

TEST_F(VersionTest, AFirstVersionFolderThatCannotBeMadeStillCopiesButAFailedRotationEndsTheCall) {
    copy(file, file);
    write("dst/Docs/PrevSave-1", "not a folder");
    copyVersion("v2");

    EXPECT_EQ(readWholeFile(dir + "/n.txt"), "v2");
    EXPECT_EQ(readWholeFile(dir + "/PrevSave-1"), "not a folder");
    EXPECT_EQ(logged().last(), "Success: Copy saved... Error: Previous version store unsuccesful");
    EXPECT_EQ(notified().last(), "Copy saved... Error: Previous version store unsuccessful");
    EXPECT_EQ(ui.animations.back(), UserInterface::Animation::Shrug);

    state->options.ErrorPrevSave = false;
    copyVersion("v3");
    EXPECT_EQ(notified().last(), "Copy saved");

    // A rotation that fails ends the call and loses no version.
    QDir(dir).removeRecursively();
    for (const QByteArray v : {"v1", "v2", "v3"})
        copyVersion(v);
    write("dst/Docs/PrevSave-1-S/keep.txt", "leftover");
    write("dst/Docs/PrevSave-3", "blocks the rotation");
    const int entries = state->Recent->Count();
    const size_t animations = ui.animations.size();

    copyVersion("v4");
    EXPECT_EQ(copies().mid(0, 3), QList<QByteArray>({"v3", "v2", "v1"}));
    EXPECT_EQ(readWholeFile(dir + "/PrevSave-1-S/keep.txt"), "leftover");
    EXPECT_FALSE(QFileInfo::exists(dir + "/PrevSave-1-S-S"));
    EXPECT_EQ(state->Recent->Count(), entries);
    EXPECT_EQ(ui.animations.size(), animations);
}

TEST_F(VersionTest, ReadOnlyVersionsAreReplacedUnderAnyKeptCount) {
    state->options.PrevSaveName = "Old";
    for (const qint16 versions : {qint16(0), qint16(1)}) {
        state->Backups->Item(1)->Versions = versions;
        for (const QByteArray v : {"a", "b", "c"}) {
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            write("src/Docs/n.txt", v);
            QFile::setPermissions(file, QFile::ReadOwner);
            copy(file, file);
        }
        EXPECT_EQ(copies("Old"), QList<QByteArray>({"c", "b", "", ""}));
    }
    EXPECT_FALSE(QFileInfo(dir + "/Old-1/n.txt").permissions() & QFile::WriteOwner);
}

} // namespace
