#pragma once
// Test doubles for the core's outward interfaces: a user interface that records what it was
// told, message boxes that answer from a script, and a clock that tests set by hand.

#include "core/UserInterface.h"
#include "model/Records.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

#include <QDateTime>
#include <QStringList>
#include <functional>
#include <vector>

class RecordingUi : public UserInterface {
public:
    QStringList runningTexts;
    std::vector<bool> pausedLooks;
    bool pauseCommandEnabled = true;
    QString backupsText;
    QString schemeText;
    std::vector<Animation> animations;
    int popupShows = 0;
    bool popupWasClosed = false;
    std::vector<clsRecent> logged;
    std::optional<QRect> geometry;
    int processEventsCalls = 0;
    // Runs inside processEvents(), so a test can act "while the engine yields".
    std::function<void()> onProcessEvents;

    void setRunningText(const QString& text) override { runningTexts << text; }
    void setPausedLook(bool paused) override { pausedLooks.push_back(paused); }
    void setPauseCommandEnabled(bool enabled) override { pauseCommandEnabled = enabled; }
    void setBackupsText(const QString& text) override { backupsText = text; }
    void setSchemeText(const QString& text) override { schemeText = text; }
    void startAnimation(Animation a) override { animations.push_back(a); }
    void showPopupNoActivate() override { ++popupShows; }
    bool popupClosed() const override { return popupWasClosed; }
    void resultLogged(const clsRecent& entry) override { logged.push_back(entry); }
    std::optional<QRect> mainWindowGeometryTwips() const override { return geometry; }
    void processEvents() override {
        ++processEventsCalls;
        if (onProcessEvents)
            onProcessEvents();
    }
    QString lastRunningText() const {
        return runningTexts.isEmpty() ? QString() : runningTexts.last();
    }
};

class ScriptedMessages : public MessageBoxes {
public:
    struct Asked {
        QString text;
        Icon icon;
        Buttons buttons;
    };
    std::vector<Asked> asked;
    std::vector<Answer> answers; // consumed in order; Ok/No when empty

    Answer ask(const QString& text, Icon icon, Buttons buttons) override {
        asked.push_back({text, icon, buttons});
        if (!answers.empty()) {
            Answer a = answers.front();
            answers.erase(answers.begin());
            return a;
        }
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }
};

// A clock that only moves when told; sleeps advance it instead of blocking.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(10, 20, 30)))
        : current(start) {}
    QDateTime current;
    qint64 sleptMs = 0;
    QDateTime now() const override { return current; }
    void sleepMs(int ms) override {
        sleptMs += ms;
        current = current.addMSecs(ms);
    }
};
