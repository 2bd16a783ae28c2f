// The command line of the real program: "versions" and "restore" over backups the engine made,
// with the store a user's program would have written, and never starting the tray program.

#include "RestoreFixture.h"

#include "persistence/AssociationStore.h"
#include "support/ProgramRun.h"

#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

class RestoreCommandTest : public RestoreFixture {
protected:
    QString file, docs;

    void SetUp() override {
        RestoreFixture::SetUp();
        docs = folder("src/Docs");
        file = docs + "/a.txt";
        associate(docs, true, 4, {dst, dst2});
        const QDateTime t0(QDate(2026, 3, 1), QTime(10, 0));
        for (int i = 1; i <= 5; ++i)
            save(docs, file, "save " + QByteArray::number(i), t0.addSecs(i * 3600));
        save(docs, docs + "/sub/b.txt", "b", t0.addSecs(5 * 3600));
        QDir().mkpath(home.appDataFolder());
        ASSERT_TRUE(saveAssociations(*state->backups, home.appDataFolder()).ok());
        ASSERT_TRUE(saveDestinations(*state->destinations, home.appDataFolder()).ok());
    }
    Outcome run(const QStringList& arguments) {
        ProgramRun program(home.path());
        program.process.setProcessChannelMode(QProcess::SeparateChannels);
        program.launch(arguments);
        Outcome o;
        if (!program.process.waitForFinished(30000))
            return o;
        o.exitCode = program.process.exitCode();
        o.out = program.output().toStdString();
        o.err = program.process.readAllStandardError().toStdString();
        // A command never starts the program, so nothing listens for a second start.
        EXPECT_FALSE(QFile::exists(program.socketPath()));
        return o;
    }
};

// "versions" lists every copy, one tab-separated line each: destination, version, time, size,
// and whether it equals the file as it is now, destination by destination.
TEST_F(RestoreCommandTest, VersionsListsEveryCopyAndRestoreBringsBackAFileOrAFolderOrSaysWhy) {
    const QString out = folder("out");
    struct Case {
        QStringList arguments;
        int exitCode;
        QString says; // on standard output for a success, on standard error otherwise
    };
    const std::vector<Case> cases = {
        {{"--help"}, 0, "quillmot restore PATH [--version N] [--as-of \"YYYY-MM-DD HH:MM\"]"},
        {{"--help"}, 0, "  versions list every kept copy of the file PATH"},
        {{"versions", file},
         0,
         dst + "\t0\t2026-03-01 15:00:00\t6\tyes\n" + dst + "\t1\t2026-03-01 14:00:00\t6\tno\n"},
        {{"versions", file}, 0, dst + "\t4\t2026-03-01 11:00:00\t6\tno\n" + dst2 + "\t0\t"},
        {{"restore", file, "--version", "2", "--to", out}, 0, "1 of 1 files restored."},
        {{"restore", file, "--version", "2", "--to", out}, 1, "is there already"},
        {{"restore", file, "--as-of", "2026-03-01 11:30"}, 0, "1 of 1 files restored."},
        {{"restore", docs, "--as-of", "2026-01-01 00:00", "--to", out}, 1, "nothing was restored"},
        {{"restore", docs}, 2, "give the folder to restore its files into with --to DIR"},
        {{"restore", file, "--from", "NO-SUCH-DISK"}, 1, "No copy of"},
        {{"restore", file, "--version", "x"}, 2, "--version takes a number"},
        {{"restore", file, "--as-of", "yesterday"}, 2, "YYYY-MM-DD HH:MM"},
        {{"versions", home.path() + "/elsewhere.txt"}, 1, "is not backed up"},
        {{"restore", dst + "/Docs/a.txt"}, 1, "is not backed up"},
        {{"versions", docs + "/never.txt"}, 1, "No copies of"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome o = run(c.arguments);
        EXPECT_EQ(o.exitCode, c.exitCode);
        EXPECT_THAT(c.exitCode == 0 ? o.out : o.err, HasSubstr(c.says.toStdString()));
    }
    EXPECT_EQ(bytesOf(out + "/a.txt"), "save 3");
    // Back in its place, as it was at 11:30.
    EXPECT_EQ(bytesOf(file), "save 1");
}

} // namespace
