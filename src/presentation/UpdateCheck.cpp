#include "presentation/UpdateCheck.h"

#include "platform/MessageBox.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <limits>

namespace UpdateCheck {
namespace {

const QString retrievalFailed =
    QStringLiteral("Error in retrieving update information on Quillmot.\r\n"
                   "Computer needs to be connected to the Internet to check for updates.");
const QString newerAvailable =
    QStringLiteral("Updated version of Quillmot available. Go to Quillmot home page now?");
const QString upToDate = QStringLiteral("You are using the most current version of Quillmot.");
// Said under both answers, so that "current" and "newer" can be checked against what is offered.
const QString versions = QStringLiteral("\n\nRunning version: %1\nOffered version: %2");

// The number a part begins with; a part that begins with no digit counts as 0.
int leadingNumber(const QByteArray& part) {
    qint64 value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9')
            break;
        value = std::min<qint64>(value * 10 + (c - '0'), std::numeric_limits<int>::max());
    }
    return int(value);
}

} // namespace

std::optional<ProgramInfo::Version> offeredVersion(const QByteArray& text) {
    if (!text.startsWith(versionPrefix))
        return std::nullopt;
    const QList<QByteArray> parts = text.mid(versionPrefix.size()).split('.');
    // A single number is no version text; telling the user so beats saying nothing at all.
    if (parts.size() < 2)
        return std::nullopt;
    // A published text with two numbers has revision 0.
    return ProgramInfo::Version{leadingNumber(parts[0]), leadingNumber(parts[1]),
                                parts.size() > 2 ? leadingNumber(parts[2]) : 0};
}

Verdict judge(const QByteArray& text, const ProgramInfo::Version& own) {
    const auto published = offeredVersion(text);
    if (!published)
        return Verdict::Unreadable;
    return *published > own ? Verdict::Newer : Verdict::Current;
}

bool tell(Verdict verdict, const ProgramInfo::Version& offered, const ProgramInfo::Version& own,
          MessageBoxes& messages) {
    const QString both =
        versions.arg(ProgramInfo::versionText(own), ProgramInfo::versionText(offered));
    switch (verdict) {
    case Verdict::Unreadable:
        messages.ask(retrievalFailed, MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
        return false;
    case Verdict::Newer:
        return messages.ask(newerAvailable + both, MessageBoxes::Icon::Information,
                            MessageBoxes::Buttons::YesNoCancel) == MessageBoxes::Answer::Yes;
    case Verdict::Current:
        messages.inform(upToDate + both);
        return false;
    }
    return false;
}

} // namespace UpdateCheck

UpdateChecker::UpdateChecker(QObject* parent) : QObject(parent) {
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] { finish(false); });
}

UpdateChecker::~UpdateChecker() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

bool UpdateChecker::start(const QUrl& address, int timeLimitMs) {
    if (running())
        return false;
    m_text.clear();
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        m_text += m_reply->readAll();
        if (m_text.size() > maxTextBytes)
            finish(false);
    });
    connect(m_reply, &QNetworkReply::finished, this,
            [this] { finish(m_reply->error() == QNetworkReply::NoError); });
    m_timeLimit.start(timeLimitMs);
    return true;
}

void UpdateChecker::finish(bool ok) {
    if (!m_reply)
        return;
    m_timeLimit.stop();
    QNetworkReply* reply = m_reply;
    m_reply.clear();
    reply->disconnect(this);
    if (ok)
        m_text += reply->readAll();
    reply->abort();
    reply->deleteLater();
    const QByteArray text = ok && m_text.size() <= maxTextBytes ? m_text : QByteArray();
    m_text.clear();
    emit fetched(text);
}

UpdateCommand::UpdateCommand(MessageBoxes& messages, OpenAddress openAddress, QObject* parent)
    : QObject(parent), m_messages(messages), m_openAddress(std::move(openAddress)) {
    connect(&m_checker, &UpdateChecker::fetched, this, &UpdateCommand::answer);
}

void UpdateCommand::run() {
    if (!m_checker.start(QUrl(ProgramInfo::updateAddress()), m_timeLimitMs))
        return;
    emit runningChanged(true);
}

void UpdateCommand::answer(const QByteArray& text) {
    emit runningChanged(false);
    const auto verdict = UpdateCheck::judge(text, ProgramInfo::ownVersion);
    const ProgramInfo::Version offered =
        UpdateCheck::offeredVersion(text).value_or(ProgramInfo::Version{});
    if (UpdateCheck::tell(verdict, offered, ProgramInfo::ownVersion, m_messages) && m_openAddress)
        m_openAddress(QUrl(ProgramInfo::homePage));
    emit done(verdict);
}
