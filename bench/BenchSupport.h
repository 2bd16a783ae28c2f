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
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

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

// False, after the usage line, when fewer than `needed` arguments were given.
// The middle of a run's figures (of the two middle ones for an even count).
inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline bool enoughArguments(int argc, char* argv[], int needed, const char* usage) {
    if (argc > needed)
        return true;
    std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
    return false;
}

// A path given on the command line, made absolute.
inline QString pathArgument(const char* argument) {
    return QDir(QString::fromLocal8Bit(argument)).absolutePath();
}

// The number given as argument `index`, at least `least`; `byDefault` when it is not given.
inline int numberArgument(int argc, char* argv[], int index, int byDefault, int least = 1) {
    return argc > index ? std::max(least, std::atoi(argv[index])) : byDefault;
}

// The real file system, counting the look-ups of files and the copies made. The destinations'
// workers call it from their own threads, so the counts are atomic.
class CountingFileSystem : public FileSystem {
public:
    mutable std::atomic<qint64> stamps = 0;     // one file at a time
    mutable std::atomic<qint64> listed = 0;     // files looked up a folder at a time
    mutable std::atomic<qint64> modifiedAt = 0; // last-modified times asked for on their own
    std::atomic<qint64> copied = 0;
    qint64 lookups() const { return stamps + listed + modifiedAt; }

    std::optional<QDateTime> lastModified(const QString& path) const override {
        ++modifiedAt;
        return FileSystem::lastModified(path);
    }
    std::optional<FileStamp> stamp(const QString& path) const override {
        ++stamps;
        return FileSystem::stamp(path);
    }
    std::vector<std::optional<FileStamp>> stampsIn(const QString& folder,
                                                   const QStringList& names) const override {
        listed += names.size();
        return FileSystem::stampsIn(folder, names);
    }
    std::vector<std::optional<FileStamp>> copyStampsIn(const QString& destination,
                                                       const QString& folder,
                                                       const QStringList& names) const override {
        listed += names.size();
        return FileSystem::copyStampsIn(destination, folder, names);
    }
    CopyResult stageCopy(const QString& source, const DestinationFolder& folder,
                         const QString& name, StagedCopy& staged,
                         const std::function<bool()>& between) override {
        ++copied;
        return FileSystem::stageCopy(source, folder, name, staged, between);
    }
};

// How long the event loop was kept from its timers: a timer asks to run every millisecond, and
// the longest gap between two of its runs, less that millisecond, is the longest the loop was
// held. The window's thread runs the same loop, so this is how long a click could wait.
class LoopHold : public QObject {
public:
    LoopHold() {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const auto now = Steady::now();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_last = Steady::now();
        m_timer.start(1);
    }
    double longestMs() const {
        return std::max(0.0, std::chrono::duration<double, std::milli>(m_longest).count() - 1);
    }

private:
    QTimer m_timer;
    Steady::time_point m_last;
    Steady::duration m_longest{};
};

// Fills `tree`, and each of `mirrors` the same way, with `files` files of 100 bytes spread over
// `folders` leaf folders, ten leaves under each of folders/10 middle folders, all dated two days
// back. Done once: a marker beside the tree, not in it, says so, so that a walk of the tree meets
// exactly the prepared files.
inline bool prepareTree(const QString& tree, const QStringList& mirrors, int files, int folders) {
    const QString marker = tree + QStringLiteral(".prepared-%1").arg(mirrors.size());
    if (QFile::exists(marker))
        return true;
    const timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 2 * 24 * 3600, 123456789}};
    const auto write = [&](const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(100, 'x')) != 100)
            return false;
        f.close();
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, 0) == 0;
    };
    const int middles = std::max(1, folders / 10);
    for (int i = 0; i < files; ++i) {
        const int leaf = i % folders;
        const QString relative = QStringLiteral("m%1/leaf%2").arg(leaf % middles).arg(leaf);
        const QString file = QStringLiteral("file%1.txt").arg(i);
        QStringList places{QDir(tree).filePath(relative)};
        for (const QString& mirror : mirrors)
            places << QDir(mirror).filePath(relative);
        for (const QString& place : places)
            if ((i < folders && !QDir().mkpath(place)) || !write(QDir(place).filePath(file)))
                return false;
    }
    QFile m(marker);
    return m.open(QIODevice::WriteOnly);
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

// A recursive folder association of `tree`, accepting its own drive, noticed on errors only,
// keeping no versions, its dates all now.
inline void addTreeAssociation(AppState& state, const QString& tree) {
    const FileSystem& fso = *state.fso;
    const QString volume = fso.VolumeName(fso.GetDriveName(tree));
    const QString now = DateTimeText::format(state.clock.now());
    clsBackup association = newAssociation(
        tree, true, VolumeList::encode({volume}, volume.isEmpty()), now, state.destinations);
    association.Recursive = true;
    association.NotifyOnSuccess = false;
    association.DateLastModified = now;
    association.DateLastActivity = now;
    association.Versions = 0;
    state.backups->Add(std::move(association), tree);
}

// The program's state without its windows, over the counting file system, holding one recursive
// folder association of `tree` with a destination in each of `dests`.
struct TreeBench {
    QuietUi ui;
    FixedAnswers messages;
    SystemClock clock;
    AppState state;
    CountingFileSystem& fso;

    TreeBench(const QString& tree, const QStringList& dests)
        : state(ui, messages, clock, std::make_unique<CountingFileSystem>()),
          fso(static_cast<CountingFileSystem&>(*state.fso)) {
        addTreeAssociation(state, tree);
        for (const QString& dest : dests)
            state.destinations->Add(dest, tree, fso.VolumeName(fso.GetDriveName(dest)));
    }
};
