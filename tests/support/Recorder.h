#pragma once
// Test doubles for the core's outward interfaces: a user interface that records what it was
// told, message boxes that answer from a script, and a clock that tests set by hand.

#include "model/Records.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "state/UserInterface.h"

#include <QDateTime>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class RecordingUi : public UserInterface {
public:
    std::vector<RunningState> runningStates;
    std::vector<bool> pausedLooks;
    bool pauseCommandEnabled = true;
    std::vector<Animation> animations;
    int popupShows = 0;
    std::vector<clsRecent> logged;
    std::optional<QRect> geometry;
    int associationCount = -1;
    QString schemeName;

    void setRunningState(RunningState state) override { runningStates.push_back(state); }
    void setPausedLook(bool paused) override { pausedLooks.push_back(paused); }
    void setPauseCommandEnabled(bool enabled) override { pauseCommandEnabled = enabled; }
    void setAssociationCount(int count) override { associationCount = count; }
    void setSchemeName(const QString& name) override { schemeName = name; }
    void startAnimation(Animation a) override { animations.push_back(a); }
    void showPopupNoActivate() override { ++popupShows; }
    bool popupClosed() const override { return false; }
    void resultLogged(const clsRecent& entry) override { logged.push_back(entry); }
    void logChanged() override {}
    void notificationsChanged() override {}
    std::optional<QRect> mainWindowGeometryTwips() const override { return geometry; }
    void processEvents() override {}
    std::optional<RunningState> lastRunningState() const {
        if (runningStates.empty())
            return std::nullopt;
        return runningStates.back();
    }
};

class ScriptedMessages : public MessageBoxes {
public:
    struct Asked {
        QString text;
        Icon icon;
        Buttons buttons;
        bool defaultNo = false;
    };
    std::vector<Asked> asked;
    std::deque<Answer> answers; // consumed in order; Ok, Cancel or No when empty

    Answer askDefaultNo(const QString& text, Icon icon, Buttons buttons) override {
        const Answer answer = ask(text, icon, buttons);
        asked.back().defaultNo = true;
        return answer;
    }
    Answer ask(const QString& text, Icon icon, Buttons buttons) override {
        asked.push_back({text, icon, buttons});
        if (answers.empty())
            return buttons == Buttons::Ok         ? Answer::Ok
                   : buttons == Buttons::OkCancel ? Answer::Cancel
                                                  : Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList texts() const {
        QStringList out;
        for (const Asked& a : asked)
            out << a.text;
        return out;
    }
};

// A clock that only moves when told; sleeps advance it instead of blocking.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(10, 20, 30)))
        : current(start) {}
    QDateTime current;
    QDateTime now() const override { return current; }
    void sleepMs(int ms) override { current = current.addMSecs(ms); }
};
