#pragma once
// A change watch on one folder, and optionally on every folder below it: it signals when a file
// in it is written, and stays signalled until it is re-armed. Polled by the engine's tick, so it
// never blocks longer than the caller asks.

#include <QString>
#include <functional>
#include <memory>

class ChangeWatch {
public:
    // Lets tests make the addition of one folder's watch fail: called before each folder is
    // added, a non-zero errno result makes that addition fail with it (ENOSPC: the limit).
    using WatchFault = std::function<int(const QString& folder)>;

    // Opens a watch on `folder` and, when `subtree`, on each sub-folder (symbolic links are not
    // followed), also those made later. Check isOpen() on the result.
    static std::unique_ptr<ChangeWatch> open(const QString& folder, bool subtree,
                                             const WatchFault& fault = {});

    virtual ~ChangeWatch() = default;

    // False when the top folder could not be watched.
    virtual bool isOpen() const = 0;
    // True when a change arrived since the last re-arm, waiting up to `timeoutMs` for one
    // (0: poll without blocking).
    virtual bool wait(int timeoutMs) = 0;
    // Drains every pending change so that the watch signals only for later ones. Sub-folders
    // that appeared meanwhile are watched from now on; since files may already be in them, such
    // an addition leaves the watch signalled.
    virtual void rearm() = 0;
    // The system's limit on watched folders was reached: some folders of the subtree are not
    // watched (those watched before stay watched).
    virtual bool limitReached() const = 0;
    // Folders watched now (the top folder and its watched sub-folders).
    virtual int watchedFolders() const = 0;
};
