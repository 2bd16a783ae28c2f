#include "presentation/HelpFiles.h"

#include "platform/ProgramInfo.h"

#include <QDir>
#include <QFileInfo>

#ifndef QUILLMOT_DOC_DIR
#define QUILLMOT_DOC_DIR "/usr/local/share/doc/quillmot"
#endif

namespace HelpFiles {

QString homePage() {
    return ProgramInfo::homePage;
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
