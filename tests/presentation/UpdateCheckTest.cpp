#include "presentation/UpdateCheck.h"

#include "support/QtApp.h"
#include "support/Recorder.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

using UpdateCheck::Verdict;
constexpr ProgramInfo::Version Own{1, 0, 5};

// A one-request-at-a-time HTTP server on the loopback address: answers every request with
// `body`, or never answers when `silent`.
class VersionServer : public QTcpServer {
public:
    QByteArray body;
    bool silent = false;

    VersionServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (silent || !socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                  "Connection: close\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString address() const {
        return QStringLiteral("http://127.0.0.1:%1/quillmot/currentv.txt").arg(serverPort());
    }
};

// Runs the menu command against `server` and returns what the user was told.
struct CommandRun {
    ScriptedMessages messages;
    QList<QUrl> opened;
    std::vector<bool> running;
    Verdict verdict = Verdict::Unreadable;
};

void runAgainst(const VersionServer& server, CommandRun& run, int timeLimitMs = 5000) {
    qputenv("QUILLMOT_UPDATE_URL", server.address().toUtf8());
    UpdateCommand command(run.messages, [&](const QUrl& url) { run.opened << url; });
    command.setTimeLimitMs(timeLimitMs);
    QObject::connect(&command, &UpdateCommand::runningChanged,
                     [&](bool busy) { run.running.push_back(busy); });
    QSignalSpy done(&command, &UpdateCommand::done);
    command.run();
    command.run(); // a second click while the first check runs starts nothing
    ASSERT_TRUE(done.wait(timeLimitMs + 5000));
    run.verdict = done.first().first().value<Verdict>();
    qunsetenv("QUILLMOT_UPDATE_URL");
}

} // namespace

TEST(UpdateVerdict, VersionsCompareByMajorThenMinorThenRevisionAndOtherTextsAreUnreadable) {
    const std::pair<QByteArray, Verdict> cases[] = {
        {"1.0.5", Verdict::Current},
        {"1.0.6", Verdict::Newer},
        {"2.0.0", Verdict::Newer},
        {"1.1", Verdict::Newer},
        {"0.9.9\r\n", Verdict::Current},
        {"7", Verdict::Unreadable},
        // Garbage after the prefix reads as zeros by the leading-number rule: never "newer".
        {"x.y.z", Verdict::Current},
        {"99999999999999999999.0", Verdict::Newer}};
    for (const auto& [version, verdict] : cases)
        EXPECT_EQ(UpdateCheck::judge(UpdateCheck::versionPrefix + version, Own), verdict)
            << version.constData();
    // An older published version is never an update, however its revision compares.
    EXPECT_EQ(UpdateCheck::judge(UpdateCheck::versionPrefix + "1.0.5", {2, 0, 0}),
              Verdict::Current);
    EXPECT_EQ(UpdateCheck::judge("", Own), Verdict::Unreadable);
    EXPECT_EQ(UpdateCheck::judge("<html><body>Not found</body></html>", Own), Verdict::Unreadable);
}

// What the user is told for each answer of the server, and that only a newer version offers the
// home page, which opens on Yes alone.
TEST(UpdateCommandTest, EachAnswerIsToldAndOnlyANewerVersionOpensTheHomePageOnYes) {
    ensureCoreApp();
    ProgramInfo::Version next = ProgramInfo::ownVersion;
    ++next.revision;
    const QString own = ProgramInfo::versionText(), offered = ProgramInfo::versionText(next);
    const QString error = "Error in retrieving update information on Quillmot.\r\n";
    using A = MessageBoxes::Answer;
    const struct {
        const char* what;
        QByteArray body;
        bool silent, gone;
        A answer;
        Verdict verdict;
        QString told;
        bool opened;
    } cases[] = {
        // "0.1.0.9" has revision 0: the same version.
        {"same", "Quillmot Current Version: " + own.toUtf8() + ".9", false, false, A::Ok,
         Verdict::Current,
         "You are using the most current version of Quillmot.\n\nRunning version: " + own +
             "\nOffered version: " + own,
         false},
        {"newer, Yes", UpdateCheck::versionPrefix + offered.toUtf8(), false, false, A::Yes,
         Verdict::Newer, "\n\nRunning version: " + own + "\nOffered version: " + offered, true},
        {"newer, Cancel", UpdateCheck::versionPrefix + offered.toUtf8(), false, false, A::Cancel,
         Verdict::Newer, offered, false},
        {"no answer", {}, true, false, A::Ok, Verdict::Unreadable, error, false},
        {"huge answer", UpdateCheck::versionPrefix + QByteArray(10 * 1024 * 1024, '9'), false,
         false, A::Ok, Verdict::Unreadable, error, false},
        {"no server", {}, false, true, A::Ok, Verdict::Unreadable, error, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VersionServer server;
        server.body = c.body;
        server.silent = c.silent;
        if (c.gone)
            server.close();
        CommandRun run;
        run.messages.answers = {c.answer};
        runAgainst(server, run, c.silent ? 300 : 5000);
        EXPECT_EQ(run.verdict, c.verdict);
        ASSERT_EQ(run.messages.asked.size(), 1u);
        EXPECT_TRUE(run.messages.asked[0].text.contains(c.told))
            << run.messages.asked[0].text.toStdString();
        EXPECT_EQ(run.messages.asked[0].icon == MessageBoxes::Icon::Exclamation, c.told == error);
        EXPECT_EQ(run.opened, c.opened ? QList<QUrl>{QUrl(ProgramInfo::homePage)} : QList<QUrl>{});
        EXPECT_EQ(run.running, (std::vector<bool>{true, false}));
    }
}
