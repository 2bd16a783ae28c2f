#pragma once
// The typed collections of the association model. One instance of each is a root of AppState.

#include "model/Collection.h"
#include "model/Records.h"

#include <QHash>
#include <functional>
#include <optional>

class colDestinations : public Collection<clsDestination> {
public:
    Ptr Add(const QString& Path, const QString& Source, const QString& Volume,
            const QString& key = {});
    // The destinations whose Source names `sourcePath`, in collection order. A look-up by key:
    // a start or a catch-up over many associations asks once per association.
    std::vector<Ptr> of(const QString& sourcePath) const;
    // Builds the look-up of() uses now, on the thread that reads the set in, instead of on the
    // first call (on the window's thread, where a large set would hold it up).
    void buildIndex() const;
    // Call after changing a destination's Source in place, so that of() sees it.
    void sourcesChanged() {
        m_bySource.reset();
        noteChange();
    }

protected:
    void afterRemove() override { m_bySource.reset(); }

private:
    using Index = QHash<QString, std::vector<Ptr>>;
    // Built on first use after a change; an Add keeps it up to date.
    mutable std::optional<Index> m_bySource;
};

class colBackups : public Collection<clsBackup> {
public:
    // `destinations` is the shared destination root that removals prune.
    explicit colBackups(std::shared_ptr<::colDestinations> destinations = {});

    // Adds `association` under `key`; its destinations (setDestinations) are the shared root.
    Ptr Add(clsBackup association, const QString& key = {});

    // Called with the number of associations after every Add and Remove.
    void setTotalListener(std::function<void(int)> listener) {
        m_totalListener = std::move(listener);
    }
    // Removes destinations whose Source matches no association.
    void pruneOrphanDestinations();
    // Tells the listener the current total.
    void refreshTotal();

    // While one lives, adding and removing leave the listener alone: a store read whole tells
    // its total once, at the end, instead of after each of its associations.
    class Batch {
    public:
        explicit Batch(colBackups& backups) : m_backups(backups) { ++backups.m_batches; }
        ~Batch() {
            if (--m_backups.m_batches == 0)
                m_backups.refreshTotal();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        colBackups& m_backups;
    };

protected:
    void afterRemove() override;

private:
    std::shared_ptr<::colDestinations> m_destinations;
    std::function<void(int)> m_totalListener;
    int m_batches = 0;
};

class colNotifiers : public Collection<clsNotifier> {
public:
    Ptr Add(const QString& Source, const QString& Destination, const QString& Message,
            const QString& key = {});
};

class colRecent : public Collection<clsRecent> {
public:
    Ptr Add(const QString& DateAndTime, const QString& SourcePath, const QString& SourceVolume,
            const QString& DestPath, const QString& DestVolume, const QString& Message,
            const QString& key = {});
    // The bound can cut the log back to the size a viewer saw last, so a viewer compares
    // changeCount(), not the count, to know it is out of date.
};
