// The start-up entry as an XDG autostart desktop entry. Values are written with the Desktop Entry
// escapes, the command with its quoting rules, so that a program path with blanks, quotes or
// backslashes runs as the path it is.

#include "platform/StartupShortcut.h"

#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace StartupShortcut {

namespace {

// An autostart entry is a small text file; anything larger is not read past this.
constexpr qint64 longestEntry = 1024 * 1024;

const QString reservedInCommand = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
const QString escapedInQuotes = QStringLiteral("\"`$\\");

struct Entry {
    QString exec;
    bool hidden = false;
    bool disabled = false; // X-GNOME-Autostart-enabled=false
};

// The general escapes of a string value, written: a backslash, line breaks, tabs and a leading
// blank would otherwise change the value read back.
QString escapeValue(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

QString unescapeValue(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else
            out += QString(u'\\') + next; // not a value escape: the command's quoting reads it
    }
    return out;
}

QString quoteArgument(QString argument) {
    argument.replace(u'%', QStringLiteral("%%"));
    bool reserved = argument.isEmpty();
    for (const QChar c : argument)
        reserved = reserved || reservedInCommand.contains(c);
    if (!reserved)
        return argument;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (escapedInQuotes.contains(c))
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

bool isTrueValue(const QString& value) {
    return value == u"true" || value == u"1";
}

bool isFalseValue(const QString& value) {
    return value == u"false" || value == u"0";
}

// The keys of the [Desktop Entry] group that decide whether an entry starts a program.
std::optional<Entry> readEntry(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.read(longestEntry);
    Entry entry;
    bool inMainGroup = false, execSeen = false;
    for (const QString& rawLine : TextFile::decodeLines(content)) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || line.startsWith(u'#') || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == u"Exec" && !execSeen) {
            entry.exec = unescapeValue(value);
            execSeen = true;
        } else if (key == u"Hidden") {
            entry.hidden = isTrueValue(value);
        } else if (key == u"X-GNOME-Autostart-enabled") {
            entry.disabled = isFalseValue(value);
        }
    }
    return entry;
}

QString programOf(const Entry& entry) {
    const auto command = splitExecValue(entry.exec);
    if (!command || command->isEmpty())
        return {};
    return command->first();
}

// A program named without a folder is looked up on PATH, as the session starting it would.
QString realProgramPath(const QString& program) {
    if (program.isEmpty())
        return {};
    QString path = program;
    if (!program.contains(u'/'))
        path = QStandardPaths::findExecutable(program);
    else if (!QDir::isAbsolutePath(program))
        return {}; // relative to nothing the session defines
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

bool startsProgram(const QString& entryPath, const QString& realProgram) {
    const auto entry = readEntry(entryPath);
    if (!entry || entry->hidden || entry->disabled)
        return false;
    const QString target = realProgramPath(programOf(*entry));
    return !target.isEmpty() && target == realProgram;
}

// The entries of the start-up folder, Quillmot.desktop first: it is tried even when the folder
// cannot be listed.
QStringList entryPaths(const QString& folder) {
    QStringList paths{Paths::join(folder, entryName)};
    const QStringList names = QDir(folder).entryList(
        {QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names)
        if (name != entryName)
            paths << Paths::join(folder, name);
    return paths;
}

} // namespace

QString startupFolder() {
    return Paths::join(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                       QStringLiteral("autostart"));
}

QString execValue(const QStringList& command) {
    QStringList quoted;
    for (const QString& argument : command)
        quoted << quoteArgument(argument);
    return quoted.join(u' ');
}

std::optional<QStringList> splitExecValue(const QString& value) {
    QStringList words;
    QString word;
    bool inWord = false, inQuotes = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (inQuotes) {
            if (c == u'"') {
                inQuotes = false;
            } else if (c == u'\\' && i + 1 < value.size() &&
                       escapedInQuotes.contains(value[i + 1])) {
                word += value[++i];
            } else {
                word += c;
            }
        } else if (c == u' ' || c == u'\t') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == u'"') {
            inQuotes = inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inWord)
        words << word;
    for (QString& w : words)
        w.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return words;
}

bool CreateShortcut(const QString& linkPath, const QString& target, const QString& workingDirectory,
                    const QString& arguments, const QString& iconPath, int /*iconIndex*/,
                    int /*showCommand*/) {
    if (linkPath.isEmpty() || target.isEmpty())
        return false;
    QStringList command{target};
    if (!arguments.isEmpty())
        command << arguments.split(u' ', Qt::SkipEmptyParts);
    QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                      QStringLiteral("Name=") + ProgramInfo::name,
                      QStringLiteral("Comment=") + description,
                      QStringLiteral("Exec=") + escapeValue(execValue(command))};
    if (!workingDirectory.isEmpty())
        lines << QStringLiteral("Path=") + escapeValue(workingDirectory);
    if (!iconPath.isEmpty())
        lines << QStringLiteral("Icon=") + escapeValue(iconPath);
    lines << QStringLiteral("Terminal=false");
    return TextFile::writeAtomically(linkPath, (lines.join(u'\n') + u'\n').toUtf8()).ok();
}

QString ReadShortcutTarget(const QString& linkPath) {
    const auto entry = readEntry(linkPath);
    return entry ? programOf(*entry) : QString();
}

bool CheckStartup(const QString& programPath) {
    const QString program = QFileInfo(programPath).canonicalFilePath();
    if (program.isEmpty())
        return false;
    for (const QString& path : entryPaths(startupFolder()))
        if (startsProgram(path, program))
            return true;
    return false;
}

bool UpdateStartupShortcut(bool wanted, const QString& programPath, const QString& iconPath) {
    const QString folder = startupFolder();
    if (wanted) {
        const QFileInfo program(programPath);
        return QDir().mkpath(folder) &&
               CreateShortcut(Paths::join(folder, entryName), program.absoluteFilePath(),
                              program.absolutePath(), hiddenStartArgument, iconPath, 0,
                              showMinimisedNoActivate);
    }
    // Every entry that would start the program goes, or the box would come back ticked.
    const QString program = QFileInfo(programPath).canonicalFilePath();
    bool ok = true;
    if (program.isEmpty() || !QFileInfo(folder).isDir())
        return ok;
    for (const QString& path : entryPaths(folder))
        if (startsProgram(path, program))
            ok = QFile::remove(path) && ok;
    return ok;
}

} // namespace StartupShortcut
