#include "presentation/HelpFiles.h"

#include <QDir>
#include <QFileInfo>

#ifndef QUILLMOT_HOME_PAGE
#define QUILLMOT_HOME_PAGE "https://quillmot.org/"
#endif
#ifndef QUILLMOT_DOC_DIR
#define QUILLMOT_DOC_DIR "/usr/local/share/doc/quillmot"
#endif

namespace HelpFiles {

QString homePage() {
    return QStringLiteral(QUILLMOT_HOME_PAGE);
}

QStringList candidates(const QString& name, const QString& programFolder) {
    const QDir program(programFolder);
    return {program.filePath(name),
            QDir::cleanPath(program.filePath(QStringLiteral("../share/doc/quillmot/") + name)),
            QDir(QStringLiteral(QUILLMOT_DOC_DIR)).filePath(name)};
}

QString find(const QString& name, const QString& programFolder) {
    for (const QString& path : candidates(name, programFolder))
        if (QFileInfo(path).isFile())
            return path;
    return {};
}

} // namespace HelpFiles
