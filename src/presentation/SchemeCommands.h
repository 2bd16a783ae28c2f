#pragma once
// What the scheme dialogs do: save the current set of associations under a name, load a saved
// set in place of the current one (the store files, the associations, their watches and the
// tree), and delete a scheme. Questions and notices go through the message boxes.

#include <QObject>
#include <QString>
#include <QStringList>

class AppState;
class Engine;
class Lifecycle;

class SchemeCommands : public QObject {
    Q_OBJECT
public:
    SchemeCommands(AppState& state, Lifecycle& lifecycle, Engine& engine,
                   QObject* parent = nullptr);

    QString folder() const;
    // Makes the scheme folder when missing; false, after telling the user, when it cannot be
    // used (then the dialog does nothing else).
    bool openFolder();
    QStringList list() const;

    // The save button: true when the scheme was saved (the dialog closes).
    bool save(const QString& typedName);
    // The load button: asks, then replaces the store files and reloads everything from them.
    // True when the dialog closes.
    bool load(const QString& fileName);
    // The menu's Delete: asks, then deletes the scheme's two files. True when they were deleted.
    bool remove(const QString& fileName);

signals:
    // The associations were replaced: the tree is to be rebuilt and expanded.
    void associationsReloaded();

private:
    void reload();

    AppState& m_state;
    Lifecycle& m_lifecycle;
    Engine& m_engine;
};
