#pragma once
// Copies one changed source file to every destination of its association: the mirrored
// destination folder, the loop test, the source and destination checks, previous-version
// storage, the copy with busy retries, and one result per destination into the activity log
// and, under its switches, the notification queue; then the tray animation and the popup.

#include "engine/Engine.h"

#include <QObject>
#include <QString>
#include <QTimer>

class AppState;

class CopyEngine : public QObject {
    Q_OBJECT
public:
    CopyEngine(AppState& state, const EngineTiming& timing, QObject* parent = nullptr);

    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath);
    bool PassesFilters(const QString& FileName) const;

    bool BusyActive = false;
    bool BusyTimedOut = false;
    QTimer tmrSourceBusy; // its tick only sets BusyTimedOut

private:
    AppState& m_state;
    const EngineTiming& m_timing;
};
