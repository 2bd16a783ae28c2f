#include "app/GuiUserInterface.h"

#include "feedback/Feedback.h"
#include "mainwindow/frmQuillmot.h"
#include "model/Records.h"
#include "platform/Paths.h"
#include "presentation/StatusTexts.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <utility>

GuiUserInterface::GuiUserInterface(frmQuillmot& window, bool printResults)
    : m_window(window), m_printResults(printResults) {}

void GuiUserInterface::setRunningState(RunningState state) {
    m_window.setRunningText(StatusTexts::running(state));
}

void GuiUserInterface::setPausedLook(bool paused) {
    m_window.setPausedLook(paused);
}

void GuiUserInterface::setPauseCommandEnabled(bool enabled) {
    m_window.setPauseCommandEnabled(enabled);
}

void GuiUserInterface::setAssociationCount(int count) {
    m_window.setBackupsText(StatusTexts::associations(count));
}

void GuiUserInterface::setSchemeName(const QString& name) {
    m_window.setSchemeText(StatusTexts::scheme(name));
}

void GuiUserInterface::startAnimation(Animation animation) {
    if (m_feedback)
        m_feedback->startAnimation(animation);
}

void GuiUserInterface::showPopupNoActivate() {
    if (m_feedback)
        m_feedback->showPopupNoActivate();
}

bool GuiUserInterface::popupClosed() const {
    return m_feedback && m_feedback->popupClosed();
}

void GuiUserInterface::logChanged() {
    if (m_feedback)
        m_feedback->logChanged();
}

QString GuiUserInterface::resultLine(const clsRecent& entry) {
    // One result is one line, whatever the names in it hold.
    using Paths::displayName;
    return QStringLiteral("%1  %2  %3 -> %4")
        .arg(entry.DateAndTime, displayName(entry.Message), displayName(entry.SourcePath),
             displayName(entry.DestPath));
}

void GuiUserInterface::resultLogged(const clsRecent& entry) {
    if (!m_printResults)
        return;
    const QByteArray line = resultLine(entry).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    // The lines of a batch of copies go out together, once the event loop has handed on all the
    // results that arrived with it, instead of one write each.
    if (std::exchange(m_flushScheduled, true))
        return;
    QTimer::singleShot(0, &m_window, [this] {
        m_flushScheduled = false;
        std::fflush(stdout);
    });
}

std::optional<QRect> GuiUserInterface::mainWindowGeometryTwips() const {
    return m_window.geometryTwips();
}

void GuiUserInterface::processEvents() {
    QCoreApplication::processEvents();
}
