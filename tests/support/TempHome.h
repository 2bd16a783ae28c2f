#pragma once
// A temporary HOME and XDG_CONFIG_HOME for one test, so no test touches a real user's files.

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    // $XDG_CONFIG_HOME/Quillmot
    QString appDataFolder() const;
    // A fresh folder below the temporary home.
    QString makeFolder(const QString& relative) const;
    // Writes a file below the temporary home, making its folders.
    QString writeFile(const QString& relative, const QByteArray& content) const;
    // Writes a file into the application-data folder.
    QString writeAppData(const QString& name, const QByteArray& content) const {
        return writeFile(".config/Quillmot/" + name, content);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome, m_oldConfig;
};

QByteArray readWholeFile(const QString& path);
// Removes `path` with everything below it on its file system, never through a link (rm walks by
// folder descriptors), also where the paths grow longer than the system takes whole.
void removeTree(const QString& path);
// Everything in `folder`, hidden entries too, sorted, so that a left-over temporary file shows.
QStringList everything(const QString& folder);
// File contents built line by line, as the program writes them: UTF-8, CR LF after every line.
QByteArray crlfLines(const QStringList& lines);

// Texts as GoogleTest shows them in a failure: readable, not as their bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << "{ ";
    for (const QString& text : texts)
        *out << '"' << text.toStdString() << "\" ";
    *out << '}';
}
