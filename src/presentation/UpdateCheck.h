#pragma once
// "Check for Updates": reads the published version text from the maker's server and tells the
// user whether a newer version exists. The fetch runs asynchronously with a time limit, so the
// engine goes on backing up while it waits and nothing freezes when the server never answers.

#include "platform/ProgramInfo.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

class MessageBoxes;
class QNetworkReply;

namespace UpdateCheck {

inline const QByteArray versionPrefix = QByteArrayLiteral("Quillmot Current Version: ");

enum class Verdict { Unreadable, Current, Newer };

// The version a published text offers; nullopt when the text is no version text.
std::optional<ProgramInfo::Version> offeredVersion(const QByteArray& text);

// Judges a published version text against the program's own version.
Verdict judge(const QByteArray& text, const ProgramInfo::Version& own);

// Tells the user what a verdict means, with the running and the offered version. True when the
// user asked to open the home page.
bool tell(Verdict verdict, const ProgramInfo::Version& offered, const ProgramInfo::Version& own,
          MessageBoxes& messages);

} // namespace UpdateCheck

// One fetch of the version text at a time.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultTimeLimitMs = 10000;
    // A version text is one short line; anything much longer is not one.
    static constexpr qsizetype maxTextBytes = 4096;

    explicit UpdateChecker(QObject* parent = nullptr);
    ~UpdateChecker() override;

    // Starts a fetch; false when one is running already.
    bool start(const QUrl& address, int timeLimitMs = defaultTimeLimitMs);
    bool running() const { return !m_reply.isNull(); }

signals:
    // The text that was read; empty on any failure (no answer in time, an error, too long).
    void fetched(const QByteArray& text);

private:
    void finish(bool ok);

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timeLimit;
    QByteArray m_text;
};

// The menu command: checks, tells the user and opens the home page when asked to. The menu item
// follows `runningChanged` so that a second check cannot start while one runs.
class UpdateCommand : public QObject {
    Q_OBJECT
public:
    using OpenAddress = std::function<void(const QUrl&)>;
    UpdateCommand(MessageBoxes& messages, OpenAddress openAddress, QObject* parent = nullptr);

    void run();
    bool running() const { return m_checker.running(); }
    // For tests: a shorter time limit than the program's ten seconds.
    void setTimeLimitMs(int ms) { m_timeLimitMs = ms; }

signals:
    void runningChanged(bool running);
    // The user has been told the outcome.
    void done(UpdateCheck::Verdict verdict);

private:
    void answer(const QByteArray& text);

    MessageBoxes& m_messages;
    OpenAddress m_openAddress;
    UpdateChecker m_checker;
    int m_timeLimitMs = UpdateChecker::defaultTimeLimitMs;
};
