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

TEST(UpdateCommandTest, ANewerVersionOffersTheHomePageAndOpensItOnYes) {
    ensureCoreApp();
    VersionServer server;
    server.body = "Quillmot Current Version: " + ProgramInfo::versionText().toUtf8() + ".9";
    // "0.1.0.9" has revision 0: the same version.
    CommandRun same;
    runAgainst(server, same);
    EXPECT_EQ(same.verdict, Verdict::Current);
    ASSERT_EQ(same.messages.asked.size(), 1u);
    const QString own = ProgramInfo::versionText();
    EXPECT_EQ(same.messages.asked[0].text, "You are using the most current version of Quillmot.\n\n"
                                           "Running version: " +
                                               own + "\nOffered version: " + own);

    ProgramInfo::Version next = ProgramInfo::ownVersion;
    ++next.revision;
    server.body = UpdateCheck::versionPrefix + ProgramInfo::versionText(next).toUtf8();
    CommandRun newer;
    newer.messages.answers = {MessageBoxes::Answer::Yes};
    runAgainst(server, newer);
    EXPECT_EQ(newer.verdict, Verdict::Newer);
    EXPECT_TRUE(newer.messages.asked[0].text.endsWith(
        "\n\nRunning version: " + own + "\nOffered version: " + ProgramInfo::versionText(next)));
    EXPECT_EQ(newer.opened, QList<QUrl>{QUrl(ProgramInfo::homePage)});
    EXPECT_EQ(newer.running, (std::vector<bool>{true, false}));

    CommandRun declined;
    declined.messages.answers = {MessageBoxes::Answer::Cancel};
    runAgainst(server, declined);
    EXPECT_TRUE(declined.opened.isEmpty());
}

TEST(UpdateCommandTest, NoAnswerAHugeAnswerOrNoServerEndInTheRetrievalError) {
    ensureCoreApp();
    const auto expectRetrievalError = [](const CommandRun& run) {
        EXPECT_EQ(run.verdict, Verdict::Unreadable);
        ASSERT_EQ(run.messages.asked.size(), 1u);
        EXPECT_TRUE(run.messages.asked[0].text.startsWith(
            "Error in retrieving update information on Quillmot.\r\n"));
        EXPECT_EQ(run.messages.asked[0].icon, MessageBoxes::Icon::Exclamation);
    };
    VersionServer server;
    server.silent = true;
    CommandRun silent;
    runAgainst(server, silent, 300);
    expectRetrievalError(silent);

    server.silent = false;
    server.body = UpdateCheck::versionPrefix + QByteArray(10 * 1024 * 1024, '9');
    CommandRun huge;
    runAgainst(server, huge);
    expectRetrievalError(huge);

    server.close();
    CommandRun gone;
    runAgainst(server, gone);
    expectRetrievalError(gone);
}
