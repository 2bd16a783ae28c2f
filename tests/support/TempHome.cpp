#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <filesystem>
#include <system_error>

TempHome::TempHome() : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")) {
    QDir(m_dir.path()).mkpath(".config");
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + "/.config").toUtf8());
}

// An empty XDG_CONFIG_HOME counts as unset.
TempHome::~TempHome() {
    qputenv("HOME", m_oldHome);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    // By bytes: Qt would not reach a name that is not UTF-8, and leave the folder behind.
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(m_dir.path()).toStdString(), ignored);
}

void removeTree(const QString& path) {
    QProcess::execute("rm", {"-rf", "--one-file-system", "--", path});
}

QString TempHome::appDataFolder() const {
    return m_dir.path() + "/.config/Quillmot";
}

QString TempHome::makeFolder(const QString& relative) const {
    const QString p = m_dir.path() + "/" + relative;
    QDir().mkpath(p);
    return p;
}

QString TempHome::writeFile(const QString& relative, const QByteArray& content) const {
    const QString p = m_dir.path() + "/" + relative;
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return p;
}

QByteArray readWholeFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList everything(const QString& folder) {
    QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                             QDir::NoDotAndDotDot);
    all.sort();
    return all;
}

QByteArray crlfLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += line.toUtf8() + "\r\n";
    return out;
}
