#include "presentation/StatusCommand.h"

#include "core/SingleInstance.h"
#include "presentation/ProtectionTexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace StatusCommand {

namespace {
const QString protectedKey = QStringLiteral("protected");
const QString linesKey = QStringLiteral("lines");
const QString notRunning = QStringLiteral("Quillmot is not running.");
const QString noAnswer = QStringLiteral("Quillmot is running but did not say how it is.");
// The running program answers from its window's thread, which a large tree may keep busy a
// moment.
constexpr int answerTimeLimitMs = 5000;
} // namespace

bool everythingProtected(const std::vector<AssociationState>& states, bool paused) {
    if (paused)
        return false;
    bool anyEnabled = false;
    for (const AssociationState& state : states) {
        if (state.protection == Protection::Disabled)
            continue;
        if (!state.fine())
            return false;
        anyEnabled = true;
    }
    return anyEnabled;
}

QByteArray answer(const std::vector<AssociationState>& states, bool paused, const QDateTime& now) {
    QJsonArray lines;
    if (paused)
        lines.append(QStringLiteral("Paused: nothing is backed up until it is resumed."));
    if (states.empty())
        lines.append(QStringLiteral("No backups set up yet."));
    for (const AssociationState& state : states)
        lines.append(ProtectionTexts::statusLine(state, now));
    QJsonObject object;
    object.insert(protectedKey, everythingProtected(states, paused));
    object.insert(linesKey, lines);
    // Compact JSON holds no line end: the answer stays one line, whatever the names hold.
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray startingAnswer() {
    QJsonObject object;
    object.insert(protectedKey, false);
    object.insert(linesKey,
                  QJsonArray{QStringLiteral("Starting: the backups are still being read.")});
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Printed print(bool running, const std::optional<QByteArray>& text) {
    Printed printed;
    if (!running) {
        printed.lines << notRunning;
        return printed;
    }
    const QJsonDocument document = text ? QJsonDocument::fromJson(*text) : QJsonDocument();
    if (!document.isObject()) {
        printed.lines << noAnswer;
        return printed;
    }
    const QJsonObject object = document.object();
    for (const QJsonValue line : object.value(linesKey).toArray())
        printed.lines << line.toString();
    if (object.value(protectedKey).toBool())
        printed.exitCode = protectedExit;
    return printed;
}

int run() {
    const SingleInstance::Answer answer = SingleInstance::ask(request, answerTimeLimitMs);
    const Printed printed = print(answer.instanceRunning, answer.text);
    for (const QString& line : printed.lines)
        std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
    return printed.exitCode;
}

} // namespace StatusCommand
