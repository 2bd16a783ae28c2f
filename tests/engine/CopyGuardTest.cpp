// What the copy refuses or keeps private whoever set it up: a destination that feeds the source
// however it is written, a place another association's backup stands in, a copy of a copy going
// back into its source, a file the user may not read, folders that would open a private source
// to other users.

#include "EngineFixture.h"

#include "engine/BackupOwners.h"
#include "engine/CopyDestination.h"
#include "support/FileStat.h"
#include "support/Mounts.h"
#include "support/OtherUser.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using CopyGuardTest = CopyFixture;
const QString LoopText = "Error: Would save into recursive source folder";

TEST_F(CopyGuardTest, TheLoopTestSeesThroughSpellingsLinksAndBindMounts) {
    const QString source = folder("src/Docs");
    const QString file = write("src/Docs/a.txt", "a");
    ASSERT_TRUE(QFile::link(source, home.path() + "/link"));
    addAssociation(source, true, true);
    const QString volume = volumeOf(source);
    addDestination(source, home.path() + "/src/../src/Docs/bk", volume);
    addDestination(source, "/" + source + "/bk", volume);
    addDestination(source, home.path() + "/link/bk", volume);
    addDestination(source, home.path() + "/link/./x/../bk", volume);
    copy(source, file);
    EXPECT_EQ(logged(), QStringList(4, LoopText));
    EXPECT_EQ(everything(source), QStringList{"a.txt"}) << "no folder made inside the source";

    const auto bind = ScratchMount::readOnlyBind(source);
    SKIP_UNLESS_MOUNTED(bind);
    state->destinations->Clear();
    addDestination(source, bind->mountPoint() + "/bk", volume);
    copy(source, file);
    EXPECT_EQ(logged().mid(4), QStringList{LoopText});
    EXPECT_EQ(everything(source), QStringList{"a.txt"});
}

TEST_F(CopyGuardTest, ADestinationThatIsTheSourceFileItselfIsRefused) {
    const QString file = write("src/Docs/n.txt", "mine");
    const auto association = addAssociation(file, false);
    association->KeepBackup = true;
    addDestination(file, home.path() + "/src");
    copy(file, file);
    EXPECT_EQ(logged(), QStringList{LoopText});
    EXPECT_EQ(readWholeFile(file), "mine");
    EXPECT_EQ(everything(home.path() + "/src/Docs"), QStringList{"n.txt"});

    // A non-recursive folder association may keep its copies inside itself, but not over a file.
    const QString docs = home.path() + "/src/Docs";
    addAssociation(docs, true, false);
    addDestination(docs, home.path() + "/src");
    addDestination(docs, docs + "/backup");
    copy(docs, file);
    EXPECT_EQ(logged().mid(1), QStringList({LoopText, "Success: Copy saved"}));
    EXPECT_EQ(readWholeFile(docs + "/backup/Docs/n.txt"), "mine");
}

TEST_F(CopyGuardTest, AFileTheUserMayNotReadFailsAtOnceInsteadOfBeingWaitedFor) {
    QString reason;
    const auto other = OtherUser::create(&reason);
    if (!other)
        GTEST_SKIP() << reason.toStdString();
    const QString file = write("src/Docs/a.txt", "secret");
    addAssociation(file, false);
    addDestination(file, folder("dst"));
    other->own(home.path());
    ASSERT_EQ(::chmod(native(file), 0), 0);
    state->options.BusyTimeout = 0.05;
    {
        OtherUser::Acting as(*other);
        copy(file, file);
    }
    EXPECT_EQ(logged(), QStringList{"Error occurred in copy"});
    EXPECT_TRUE(everything(home.path() + "/dst/Docs").isEmpty());
}

TEST_F(CopyGuardTest, FoldersItMakesAreNoWiderThanTheSourceFoldersWhateverTheUmask) {
    const QString source = folder("src/Private");
    const QString shared = source + "/shared";
    const QString file = write("src/Private/shared/a.txt", "a");
    ASSERT_EQ(::chmod(native(home.path()), 0755), 0);
    ASSERT_EQ(::chmod(native(source), 0711), 0);
    ASSERT_EQ(::chmod(native(shared), 0755), 0);
    addAssociation(source, true, true, 3);
    const QString dst = home.path() + "/dst/new";
    addDestination(source, dst, volumeOf(home.path()));
    const QString mirror = dst + "/Private/shared";
    const mode_t umaskBefore = ::umask(0);
    copy(source, file);
    copy(source, file);
    ::umask(umaskBefore);
    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
    EXPECT_EQ(modeOf(home.path() + "/dst"), 0711u);
    EXPECT_EQ(modeOf(dst + "/Private"), 0711u);
    EXPECT_EQ(modeOf(mirror), 0755u);
    EXPECT_EQ(modeOf(mirror + "/PrevSave-1"), 0755u);

    // The user makes the folder private: the next copy finds its mirror and the versions
    // private, and a version folder made now is private from the start.
    ASSERT_EQ(::chmod(native(shared), 0700), 0);
    copy(source, file);
    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
    for (const QString& made : {mirror, mirror + "/PrevSave-1", mirror + "/PrevSave-2"})
        EXPECT_EQ(modeOf(made), 0700u) << made.toStdString();
    // Its attributes changing is enough for the mirror to follow, without a copy; a folder
    // above the association's own makes the top mirror follow what it grants.
    ASSERT_EQ(::chmod(native(shared), 0750), 0);
    const BackupLayout layout(source, true, "PrevSave");
    EXPECT_TRUE(CopyDestination::followSourceFolder(*state->fso, layout, dst, shared));
    EXPECT_EQ(modeOf(mirror), 0750u);
    ASSERT_EQ(::chmod(native(home.path()), 0700), 0);
    EXPECT_TRUE(CopyDestination::followSourceFolder(*state->fso, layout, dst, home.path()));
    EXPECT_EQ(modeOf(dst + "/Private"), 0700u);
    EXPECT_FALSE(
        CopyDestination::followSourceFolder(*state->fso, layout, dst, source + "/never-copied"));
}

// A version folder that is a link, even one the user made, is never followed: the rotation
// would move a version out of the backup, or a file from elsewhere into it.
TEST_F(CopyGuardTest, ALinkWhereAVersionFolderBelongsStopsTheSaveBeforeAnythingMoves) {
    const QString file = write("src/Docs/n.txt", "v1");
    addAssociation(file, false, false, 3);
    addDestination(file, folder("dst"));
    const QString outside = write("outside/n.txt", "elsewhere");
    copy(file, file);
    write("src/Docs/n.txt", "v2");
    copy(file, file);
    ASSERT_TRUE(QFile::link(home.path() + "/outside", home.path() + "/dst/Docs/PrevSave-2"));
    write("src/Docs/n.txt", "v3");
    copy(file, file);

    EXPECT_EQ(logged().last(), ResultText::linkInDestination);
    EXPECT_EQ(readWholeFile(home.path() + "/dst/Docs/n.txt"), "v2");
    EXPECT_EQ(readWholeFile(home.path() + "/dst/Docs/PrevSave-1/n.txt"), "v1");
    EXPECT_EQ(readWholeFile(outside), "elsewhere");
    EXPECT_EQ(everything(home.path() + "/outside"), QStringList{"n.txt"});
}

// The copies of one batch into one disk share what they found out about it, the folders they
// opened included; what changes under the batch between two of its copies is seen by the next
// one all the same.
TEST_F(CopyGuardTest, WhatChangesBetweenTheCopiesOfOneBatchIsSeenByTheNextCopy) {
    const QString source = folder("src/Docs");
    const QStringList files = {write("src/Docs/a.txt", "a"), write("src/Docs/b.txt", "b")};
    addAssociation(source, true);
    // Copies both files as one batch into `destination`, doing `change` once the first is staged.
    const auto batch = [&](const QString& destination, const std::function<void()>& change) {
        addDestination(source, destination);
        std::vector<CopyJob> jobs;
        for (const QString& file : files)
            jobs.push_back(DestinationCopy::makeJob(
                *state->backups->Item(1), *state->destinations->Item(state->destinations->Count()),
                source, file, "PrevSave"));
        CopySteps steps;
        bool changed = false;
        steps.afterEachStep = [&] {
            if (!std::exchange(changed, true))
                change();
        };
        std::vector<DestinationReport> reports(jobs.size());
        DestinationCopy::runBatch(*state->fso, jobs, steps,
                                  [&](size_t i, const DestinationReport& r) { reports[i] = r; });
        return reports;
    };

    // The mirror folder moved aside and a link to the user's private files put in its place.
    const QString secrets = folder("private");
    const QString dst = folder("dst");
    std::vector<DestinationReport> reports = batch(dst, [&] {
        ASSERT_TRUE(QDir().rename(dst + "/Docs", dst + "/moved"));
        ASSERT_TRUE(QFile::link(secrets, dst + "/Docs"));
    });
    EXPECT_EQ(reports[1].failure, CheckFailure::LinkInDestination);
    EXPECT_TRUE(everything(secrets).isEmpty());
    EXPECT_EQ(everything(dst + "/moved"), QStringList{"a.txt"});

    // The destination's disk pulled out: its mount point is a folder of another disk now.
    const auto disk = ScratchMount::ext4("QMBATCH", 16);
    SKIP_UNLESS_MOUNTED(disk);
    reports = batch(disk->mountPoint() + "/dst",
                    [&] { ASSERT_EQ(::umount2(native(disk->mountPoint()), MNT_DETACH), 0); });
    EXPECT_EQ(reports[1].failure, CheckFailure::DestVolumeMismatch);
    EXPECT_TRUE(everything(disk->mountPoint()).isEmpty());
}

// Two accounts on one machine: the user whose files Quillmot backs up, and another user who may
// write into the shared destination too and tries to make the user's own Quillmot write, move or
// show the user's files somewhere of theirs.
struct SharedKind {
    const char* name;
    mode_t mode;
    bool commonGroup; // the folder's group holds both users
};

void PrintTo(const SharedKind& kind, std::ostream* out) {
    *out << kind.name;
}

class SharedDestinationTest : public CopyFixture, public testing::WithParamInterface<SharedKind> {
protected:
    std::unique_ptr<OtherUser> user, other;
    QString shared, notes, inner, secrets, secret;
    struct stat secretBefore {};

    void SetUp() override {
        CopyFixture::SetUp();
        QString reason;
        user = OtherUser::create(&reason);
        other = user ? OtherUser::create(&reason) : nullptr;
        if (!other)
            GTEST_SKIP() << reason.toStdString();
        // A folder only the user's group may read, in folders anyone may pass; a folder anyone
        // could read, inside one nobody else may enter; the user's private files.
        notes = write("open/Docs/notes.txt", "mine");
        inner = write("inner/docs/b.txt", "inner");
        secret = write("private/notes.txt", "secret");
        secrets = home.path() + "/private";
        shared = folder("shared");
        user->own(home.path());
        for (const auto& [path, mode] :
             std::initializer_list<std::pair<QString, mode_t>>{{home.path(), 0755},
                                                               {home.path() + "/open", 0755},
                                                               {Paths::parent(notes), 0750},
                                                               {notes, 0640},
                                                               {home.path() + "/inner", 0700},
                                                               {Paths::parent(inner), 0755},
                                                               {inner, 0644},
                                                               {secrets, 0700},
                                                               {secret, 0600}})
            ASSERT_EQ(::chmod(native(path), mode), 0);
        ASSERT_EQ(::chown(native(shared), 0, GetParam().commonGroup ? other->gid() : 0), 0);
        ASSERT_EQ(::chmod(native(shared), GetParam().mode), 0);
        if (GetParam().commonGroup)
            user->joinGroup(other->gid());
        secretBefore = statOf(secret);
        for (const QString& file : {notes, inner}) {
            addAssociation(file, false, false, 2);
            addDestination(file, shared);
        }
    }
    // The user saves `file` and its copy is made, as the user.
    QString save(const QString& file, const QByteArray& content = "saved") {
        OtherUser::Acting as(*user);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        f.close();
        copy(file, file);
        return logged().last();
    }
    template <class Step> void asOther(Step step) {
        OtherUser::Acting as(*other);
        step();
    }
    // The user's private files are as they were: the same file, size and time, and nothing
    // new beside them.
    void expectSecretsUntouched() {
        const struct stat now = statOf(secret);
        EXPECT_EQ(now.st_ino, secretBefore.st_ino);
        EXPECT_EQ(now.st_size, secretBefore.st_size);
        EXPECT_EQ(now.st_mtim.tv_sec, secretBefore.st_mtim.tv_sec);
        EXPECT_EQ(now.st_mtim.tv_nsec, secretBefore.st_mtim.tv_nsec);
        EXPECT_EQ(everything(secrets), QStringList{"notes.txt"});
    }
    // Nothing of the user's in the destination opens for the other user: no copy, and no
    // folder to list the names in.
    void expectNothingReadableByOther() {
        QStringList readable;
        QDirIterator it(shared,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            struct stat st {};
            if (::lstat(native(path), &st) != 0 || st.st_uid != user->uid())
                continue;
            asOther([&] {
                const int fd = ::open(native(path), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
                if (fd >= 0) {
                    readable << path;
                    ::close(fd);
                }
            });
        }
        EXPECT_TRUE(readable.isEmpty()) << readable.join(", ").toStdString();
    }
};

TEST_P(SharedDestinationTest, ALinkOrAnotherUsersFolderInPlaceOfAMirrorIsNeverEntered) {
    const QString mirror = shared + "/Docs";
    asOther([&] { ASSERT_EQ(::symlink(native(secrets), native(mirror)), 0); });
    EXPECT_EQ(save(notes), ResultText::linkInDestination);
    expectSecretsUntouched();

    // Their own folder, with a link where the first version folder goes.
    asOther([&] {
        ASSERT_EQ(::unlink(native(mirror)), 0);
        ASSERT_EQ(::mkdir(native(mirror), 0777), 0);
        ASSERT_EQ(::chmod(native(mirror), 0777), 0);
        QFile planted(mirror + "/notes.txt");
        ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
        ASSERT_EQ(::symlink(native(secrets), native(mirror + "/PrevSave-1")), 0);
    });
    EXPECT_EQ(save(notes), ResultText::otherUsersFolder);
    expectSecretsUntouched();
    EXPECT_EQ(everything(mirror), QStringList({"PrevSave-1", "notes.txt"}));
}

TEST_P(SharedDestinationTest,
       CopiesAreNoMoreReadableThanTheirSourceAndAFolderSwappedLaterIsRefused) {
    EXPECT_EQ(save(notes), ResultText::logCopySaved);
    EXPECT_EQ(save(inner), ResultText::logCopySaved);
    EXPECT_EQ(save(notes, "again"), ResultText::logCopySavedPreviousStored);
    expectNothingReadableByOther();

    const QString mirror = shared + "/Docs";
    int moved = 0;
    asOther([&] { moved = ::rename(native(mirror), native(shared + "/moved")) == 0 ? 0 : errno; });
    if (GetParam().mode & S_ISVTX) {
        EXPECT_EQ(moved, EPERM) << "the sticky bit keeps the user's folder the user's";
        return;
    }
    ASSERT_EQ(moved, 0);
    asOther([&] { ASSERT_EQ(::symlink(native(secrets), native(mirror)), 0); });
    EXPECT_EQ(save(notes, "third"), ResultText::linkInDestination);
    expectSecretsUntouched();
}

TEST_P(SharedDestinationTest, ARaceAgainstTheFolderBeingMadeNeverReachesTheUsersFiles) {
    const QByteArray mirror = native(shared + "/Docs");
    const QByteArray target = native(secrets);
    const QByteArray aside = native(shared + "/aside");
    // As fast as it can: the user's new folder moved aside for a link, a link in its place
    // before it is made, and the link taken away again.
    const OtherUser::Process racer(*other, [&] {
        for (;;) {
            ::rename(mirror.constData(), aside.constData());
            ::symlink(target.constData(), mirror.constData());
            ::unlink(mirror.constData());
        }
    });
    const QStringList fine = {ResultText::logCopySaved, ResultText::logCopySavedPreviousStored,
                              ResultText::linkInDestination, ResultText::otherUsersFolder,
                              ResultText::cantCreateFolders};
    constexpr int rounds = 200;
    for (int round = 0; round < rounds; ++round) {
        // Whatever stands there goes before each round, so every save makes the folder anew;
        // never through a link the other user may just have put there.
        for (const QString& left : {shared + "/Docs", shared + "/aside"})
            removeTree(left);
        const QString result = save(notes, QByteArray::number(round));
        ASSERT_TRUE(fine.contains(result)) << result.toStdString();
    }
    expectSecretsUntouched();
    expectNothingReadableByOther();
}

INSTANTIATE_TEST_SUITE_P(Shares, SharedDestinationTest,
                         testing::Values(SharedKind{"AnyoneWithTheStickyBit", 01777, false},
                                         SharedKind{"ACommonGroup", 02770, true},
                                         SharedKind{"Anyone", 0777, false}),
                         [](const testing::TestParamInfo<SharedKind>& kind) {
                             return std::string(kind.param.name);
                         });

// Sets of associations as the rules see them, written "source:destination" with the kind first:
// "R" a recursive folder, "F" a folder, "f" a file, "-" a disabled recursive folder.
BackupOwners::Snapshot setOf(const QStringList& written) {
    BackupOwners::Snapshot set;
    set.versionBase = "PrevSave";
    for (const QString& w : written) {
        const QStringList parts = w.mid(1).split(':');
        const QChar kind = w[0];
        set.members.push_back(
            {parts[0], kind != 'f', kind == 'R' || kind == '-', kind != '-', parts.mid(1)});
    }
    return set;
}

TEST(BackupOwnersRules, SetsWhoseCopiesMeetOrFeedEachOtherAreFound) {
    using Pairs = std::vector<std::pair<qsizetype, qsizetype>>;
    const auto clashing = [](const QStringList& written) {
        Pairs pairs;
        for (const auto& clash : BackupOwners::clashes(setOf(written)))
            pairs.emplace_back(clash.first, clash.second);
        return pairs;
    };
    EXPECT_EQ(clashing({"R/X/Docs:/d", "F/Y/Docs:/d"}), Pairs({{0, 1}}));
    EXPECT_EQ(clashing({"R/X/Docs:/d", "f/Y/Docs/a.txt:/d"}), Pairs({{0, 1}}));
    EXPECT_EQ(clashing({"f/X/Docs/a.txt:/d", "f/Y/Docs/a.txt:/e:/d/"}), Pairs({{0, 1}}));
    EXPECT_EQ(clashing({"f/X/Docs/a.txt:/d", "f/Y/Docs/b.txt:/d"}), Pairs());
    EXPECT_EQ(clashing({"f/X/Docs/a.txt:/d", "f/Y/a.txt/b.txt:/d/Docs"}), Pairs({{0, 1}}));
    // Nested where the outer one's mirror of it would be: the same files in the same places.
    EXPECT_EQ(clashing({"R/X/Docs:/d", "F/X/Docs/sub:/d/Docs", "f/X/Docs/a.txt:/d"}), Pairs());
    EXPECT_EQ(clashing({"F/X/Docs:/d", "R/Y/sub:/d/Docs"}), Pairs({{0, 1}}));
    // Into a version folder of another.
    EXPECT_EQ(clashing({"F/X/Docs:/d", "F/Y/PrevSave-1:/d/Docs"}), Pairs({{0, 1}}));
    EXPECT_EQ(clashing({"f/X/Docs/a.txt:/d", "f/Y/PrevSave-2/a.txt:/d/Docs"}), Pairs({{0, 1}}));
    EXPECT_EQ(clashing({"f/X/Docs/a.txt:/d", "f/Y/PrevSave-2/b.txt:/d/Docs"}), Pairs());

    const auto chained = [](const QStringList& written) {
        return BackupOwners::chains(setOf(written));
    };
    using Chains = std::vector<BackupOwners::Chain>;
    EXPECT_EQ(chained({"R/h/Docs:/h/Pics/backup", "R/h/Pics:/h/Docs/backup"}), Chains({{0, 1}}));
    EXPECT_EQ(chained({"R/h/A:/h/B/in", "R/h/B:/h/C", "f/h/C/B/in/A/x.txt:/h/A/back"}),
              Chains({{0, 1, 2}}));
    // A chain that ends, a disabled link, a watch that does not reach the copies.
    EXPECT_EQ(chained({"R/h/A:/h/B/in", "R/h/B:/h/C"}), Chains());
    EXPECT_EQ(chained({"R/h/Docs:/h/Pics/backup", "-/h/Pics:/h/Docs/backup"}), Chains());
    EXPECT_EQ(chained({"F/h/Docs:/h/Pics/backup", "R/h/Pics:/h/Docs/backup"}), Chains());

    const BackupOwners::Snapshot set =
        setOf({"R/X/Docs:/d", "F/Y/Docs:/d", "R/h/Docs:/h/Pics", "R/h/Pics:/h/Docs/backup"});
    EXPECT_EQ(BackupOwners::refusalFor(set, 1),
              "\"/X/Docs\" and \"/Y/Docs\" would back up into the same place in \"/d\", "
              "where the copies of one would replace those of the other.");
    EXPECT_EQ(BackupOwners::refusalFor(set, 3),
              "The copies of \"/h/Pics\" land in the source of \"/h/Docs\", and those of "
              "\"/h/Docs\" back in the source of \"/h/Pics\": copies would be copied without "
              "end.");
}

TEST_F(CopyGuardTest, APlaceKeepsTheBackupOfTheAssociationThatHadItFirst) {
    const QString x = folder("X/Docs"), y = folder("Y/Docs");
    const QString dst = folder("dst");
    addAssociation(x, true, true, 2);
    addDestination(x, dst);
    const QString ours = write("X/Docs/report.txt", "X's");
    copy(x, ours);
    // Y comes after X's first copy: the owners worked out for that copy are out of date.
    addAssociation(y, true, true, 2);
    addDestination(y, dst);
    const QString theirs = write("Y/Docs/report.txt", "Y's");
    copy(y, theirs);
    copy(y, write("Y/Docs/only-Y.txt", "a name X has not"));
    write("X/Docs/report.txt", "X's, later");
    copy(x, ours);

    EXPECT_EQ(logged(),
              QStringList({"Success: Copy saved",
                           "Error: Not copied, another association's backup is in that place",
                           "Error: Not copied, another association's backup is in that place",
                           "Success: Copy saved & Previous version stored"}));
    EXPECT_EQ(readWholeFile(dst + "/Docs/report.txt"), "X's, later");
    EXPECT_EQ(readWholeFile(dst + "/Docs/PrevSave-1/report.txt"), "X's");
}

TEST_F(CopyGuardTest, ACopyOfACopyNeverGoesBackIntoTheSourceItCameFrom) {
    const QString docs = folder("h/Docs"), pics = folder("h/Pics"), more = folder("h/More");
    const QString docsBackup = folder("h/Docs/backup"), picsBackup = folder("h/Pics/backup");
    addAssociation(docs, true, true);
    addDestination(docs, picsBackup);
    addAssociation(pics, true, true);
    addDestination(pics, docsBackup);
    addDestination(pics, more);
    addAssociation(more, true, true);
    addDestination(more, folder("elsewhere"));

    copy(docs, write("h/Docs/x.txt", "x"));
    const QString firstCopy = picsBackup + "/Docs/x.txt";
    ASSERT_TRUE(QFileInfo::exists(firstCopy));
    // Pics backs Docs' copy up: into More, but not back into Docs.
    copy(pics, firstCopy);
    copy(more, more + "/Pics/backup/Docs/x.txt");
    EXPECT_EQ(logged(),
              QStringList({"Success: Copy saved",
                           "Error: Not copied, it is a copy and would go back into its own source",
                           "Success: Copy saved", "Success: Copy saved"}));
    EXPECT_FALSE(QFileInfo::exists(docsBackup + "/Pics"));
}

} // namespace
