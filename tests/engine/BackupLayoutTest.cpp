// Where copies and versions live: what the copy engine makes is found again by the layout, all of
// it and nothing else, and a user's names that look like version folders never mix with them.

#include "EngineFixture.h"

#include "engine/BackupLayout.h"
#include "support/Mounts.h"

#include <QMap>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void collectFiles(const QByteArray& folder, QStringList& files) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            collectFiles(path, files);
        else
            files << Paths::fromNative(path);
    }
    ::closedir(dir);
}

// Everything but folders below `folder`, hidden entries too, by the bytes of their names.
QStringList filesBelow(const QString& folder) {
    QStringList files;
    collectFiles(Paths::toNative(folder), files);
    files.sort();
    return files;
}

class BackupLayoutTest : public CopyFixture {
protected:
    QString dst;
    QMap<QString, int> saves; // how often each source file was saved

    void SetUp() override {
        CopyFixture::SetUp();
        dst = folder("dst");
    }
    std::shared_ptr<clsBackup> associate(const QString& source, bool isFolder, int versions,
                                         bool recursive = false) {
        const auto association = addAssociation(source, isFolder, recursive, versions);
        addDestination(source, dst);
        return association;
    }
    // Each save writes the source path and the save's number, so every copy tells whose it is.
    void save(const QString& root, const QString& file, int times = 3) {
        for (int i = 0; i < times; ++i) {
            const int n = ++saves[file];
            putBytes(file, Paths::toUtf8Bytes(file) + '#' + QByteArray::number(n));
            copy(root, file);
        }
    }
    BackupLayout layoutOf(const QString& root) const {
        const auto association = state->backups->Item(Paths::PathKey(root));
        return BackupLayout::of(*association, "PrevSave");
    }
    // The version numbers found for `file` among `found`.
    static QList<int> versionsOf(const std::vector<FoundFile>& found, const QString& file) {
        QList<int> versions;
        for (const FoundFile& f : found)
            if (f.sourcePath == file)
                for (const FoundCopy& c : f.copies)
                    versions << c.version;
        return versions;
    }
    // Each copy found holds a save of its own source file: the current copy the newest, each
    // version an older one the higher its number. Returns the paths of all copies found.
    QStringList checkedPaths(const std::vector<FoundFile>& found) {
        QStringList paths;
        for (const FoundFile& file : found) {
            SCOPED_TRACE(Paths::displayName(file.sourcePath).toStdString());
            int previous = saves.value(file.sourcePath) + 1;
            for (const FoundCopy& copy : file.copies) {
                const QByteArray content = bytesOf(copy.path);
                const QByteArray owner = Paths::toUtf8Bytes(file.sourcePath) + '#';
                EXPECT_TRUE(content.startsWith(owner)) << content.toStdString();
                const int n = content.mid(owner.size()).toInt();
                EXPECT_EQ(copy.version == 0, n == saves.value(file.sourcePath));
                EXPECT_LT(n, previous);
                EXPECT_EQ(copy.entry.stamp.size, content.size());
                previous = n;
                paths << copy.path;
            }
        }
        return paths;
    }
};

TEST_F(BackupLayoutTest, EveryCopyAndVersionTheEngineMadeIsFoundAndNothingElse) {
    const QString docs = folder("src/Docs");
    associate(docs, true, 2, true);
    const QStringList docsFiles = {
        docs + "/a.txt",
        docs + "/sub/b.txt",
        docs + "/sub/deeper/c.txt",
        docs + "/PrevSave-1/a.txt", // a folder of the user's, named like a version folder
        docs + "/PrevSave-2",       // a file so named
        docs + "/PrevSave-3~",      // and one named like the first one's name in the mirror
        docs + "/sub/" + Paths::fromUtf8Bytes("caf\xE9 \xFF.txt"),
        docs + QString::fromUtf8("/新 report\nv2.txt"),
    };
    for (const QString& file : docsFiles)
        save(docs, file);
    const QString flat = folder("src/Flat");
    associate(flat, true, 1);
    save(flat, flat + "/f.txt", 2);
    const QString single = write("src/Other/x.txt", "");
    const auto singleAssociation = associate(single, false, 3);
    save(single, single, 5);
    // Keeping fewer versions from now on leaves the older ones where they are: they are found.
    singleAssociation->Versions = 1;
    save(single, single, 1);
    QStringList roots = {docs, flat, single};

    const auto drive = ScratchMount::tmpfs(1024);
    if (drive) {
        const QString m = drive->mountPoint();
        associate(m, true, 2, true);
        for (const QString& file : {m + "/a.txt", m + "/sub/b.txt"})
            save(m, file);
        roots << m;
    }
    // Gone from the source, still in the backup.
    QFile::remove(docs + "/sub/b.txt");

    EXPECT_EQ(logged().filter("Success").size(), logged().size() - 3);
    // The walk finds a name that is not UTF-8, and the log shows its odd bytes as "\xNN".
    EXPECT_TRUE(state->fso->files(docs + "/sub").contains(docsFiles[6]));
    QStringList shown;
    for (const auto& entry : *state->recent)
        shown << entry->SourcePath;
    EXPECT_EQ(shown.filter("/sub/caf\\xE9 \\xFF.txt").size(), 3);
    QStringList found;
    for (const QString& root : roots)
        found << checkedPaths(layoutOf(root).findAll(*state->fso, dst));
    found.sort();
    EXPECT_EQ(found.join('\n').toStdString(), filesBelow(dst).join('\n').toStdString());

    const std::vector<FoundFile> all = layoutOf(docs).findAll(*state->fso, dst);
    for (const QString& file : docsFiles)
        EXPECT_EQ(versionsOf(all, file), QList<int>({0, 1, 2})) << file.toStdString();
    EXPECT_EQ(versionsOf(layoutOf(single).findAll(*state->fso, dst), single),
              QList<int>({0, 1, 2, 3}));
    const std::vector<FoundFile> sub = layoutOf(docs).findBelow(*state->fso, dst, docs + "/sub");
    ASSERT_EQ(sub.size(), 3u);
    EXPECT_EQ(sub[0].sourcePath, docs + "/sub/b.txt");
    const FoundFile one = layoutOf(docs).findFile(*state->fso, dst, docs + "/PrevSave-2");
    ASSERT_EQ(one.copies.size(), 3u);
    EXPECT_EQ(one.copies[2].path, dst + "/Docs/PrevSave-2/PrevSave-2~");
    if (!drive)
        GTEST_SKIP() << "whole-drive association left out: " << ScratchMount::refusal();
}

TEST_F(BackupLayoutTest, NamesLikeVersionFoldersTakeOneMarkMoreAndAreSaidOnce) {
    const BackupLayout layout("/src", true, "Old");
    for (const auto& [source, mirrored] :
         std::vector<std::pair<QString, QString>>{{"Old-1", "Old-1~"},
                                                  {"Old-12~~", "Old-12~~~"},
                                                  {"Old-0", "Old-0"},
                                                  {"Old-01", "Old-01"},
                                                  {"Old-1x", "Old-1x"},
                                                  {"Old-", "Old-"},
                                                  {"PrevSave-1", "PrevSave-1"},
                                                  {"a~", "a~"}}) {
        EXPECT_EQ(layout.mirroredName(source), mirrored);
        EXPECT_EQ(layout.sourceNameOf(mirrored), source);
    }
    EXPECT_EQ(layout.sourceNameOf("Old-3"), std::nullopt);
    EXPECT_EQ(layout.versionNumberOf("Old-3"), 3);
    EXPECT_EQ(layout.versionNumberOf("Old-3~"), 0);

    const QString docs = folder("src/Docs");
    state->options.PrevSaveName = "Old";
    associate(docs, true, 1, true);
    for (int i = 0; i < 2; ++i)
        for (const QString& file : {docs + "/Old-1/Old-2", docs + "/Old-1/b.txt", docs + "/c.txt"})
            save(docs, file, 1);
    EXPECT_EQ(logged().filter("Note:"),
              QStringList({"Note: \"Old-1\" is backed up as \"Old-1~\", apart from the "
                           "previous-version folders",
                           "Note: \"Old-2\" is backed up as \"Old-2~\", apart from the "
                           "previous-version folders"}));
    EXPECT_EQ(filesBelow(dst + "/Docs"),
              QStringList({dst + "/Docs/Old-1/c.txt", dst + "/Docs/Old-1~/Old-1/Old-2~",
                           dst + "/Docs/Old-1~/Old-1/b.txt", dst + "/Docs/Old-1~/Old-2~",
                           dst + "/Docs/Old-1~/b.txt", dst + "/Docs/c.txt"}));
}

TEST_F(BackupLayoutTest, TheFinderNeverFollowsALinkBelowTheDestination) {
    const QString docs = folder("src/Docs");
    associate(docs, true, 1, true);
    save(docs, docs + "/sub/a.txt", 2);
    const QString elsewhere = folder("elsewhere");
    putBytes(elsewhere + "/a.txt", "not a backup");
    QDir(dst + "/Docs/sub").removeRecursively();
    ASSERT_TRUE(QFile::link(elsewhere, dst + "/Docs/sub"));

    // The link is what lies there, as a link: it could be the copy of one in the source.
    const std::vector<FoundFile> found = layoutOf(docs).findAll(*state->fso, dst);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].sourcePath, docs + "/sub");
    EXPECT_EQ(found[0].copies[0].entry.kind, FolderEntry::Kind::Link);
    EXPECT_TRUE(layoutOf(docs).findFile(*state->fso, dst, docs + "/sub/a.txt").copies.empty());
}

} // namespace
