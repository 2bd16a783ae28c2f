#pragma once
// What the in-process benchmarks share: timing, and the program's state without its windows.

#include "model/Collections.h"
#include "model/Records.h"
#include "model/VolumeList.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

#include <QCoreApplication>

#include <chrono>
#include <sys/resource.h>

using Steady = std::chrono::steady_clock;

inline double seconds(Steady::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process so far, user and system.
inline double cpuSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    const auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(r.ru_utime) + s(r.ru_stime);
}

// A user interface that shows nothing, counts the results and keeps the last one, and lets the
// event loop run as the program's does (unless made with `runsEvents` false).
class QuietUi : public UserInterface {
public:
    explicit QuietUi(bool runsEvents = true) : m_runsEvents(runsEvents) {}
    int logged = 0;
    QString lastResult;
    void setRunningState(RunningState) override {}
    void setPausedLook(bool) override {}
    void setPauseCommandEnabled(bool) override {}
    void setAssociationCount(int) override {}
    void setSchemeName(const QString&) override {}
    void startAnimation(Animation) override {}
    void showPopupNoActivate() override {}
    bool popupClosed() const override { return false; }
    void resultLogged(const clsRecent& entry) override {
        ++logged;
        lastResult = entry.Message;
    }
    void logChanged() override {}
    void notificationsChanged() override {}
    std::optional<QRect> mainWindowGeometryTwips() const override { return std::nullopt; }
    void processEvents() override {
        if (m_runsEvents)
            QCoreApplication::processEvents();
    }

private:
    bool m_runsEvents;
};

// Answers every question with `answer`.
class FixedAnswers : public MessageBoxes {
public:
    explicit FixedAnswers(Answer answer = Answer::Ok) : m_answer(answer) {}
    Answer ask(const QString&, Icon, Buttons) override { return m_answer; }

private:
    Answer m_answer;
};

// The real clock, keeping count of the fixed pauses asked for and the time they really took.
class PauseCountingClock : public SystemClock {
public:
    qint64 requestedMs = 0;
    Steady::duration slept{};
    void sleepMs(int ms) override {
        const auto start = Steady::now();
        SystemClock::sleepMs(ms);
        slept += Steady::now() - start;
        requestedMs += ms;
    }
};

// A recursive folder association of `tree`, accepting its own drive, noticed on errors only,
// keeping no versions, its dates all now.
inline void addTreeAssociation(AppState& state, const QString& tree) {
    const FileSystem& fso = *state.fso;
    const QString volume = fso.VolumeName(fso.GetDriveName(tree));
    const QString now = DateTimeText::format(state.clock.now());
    clsBackup association = newAssociation(
        tree, true, VolumeList::encode({volume}, volume.isEmpty()), now, state.Destinations);
    association.Recursive = true;
    association.NotifyOnSuccess = false;
    association.DateLastModified = now;
    association.DateLastActivity = now;
    association.Versions = 0;
    state.Backups->Add(std::move(association), tree);
}
