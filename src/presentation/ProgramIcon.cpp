#include "presentation/ProgramIcon.h"

#include "platform/ProgramInfo.h"

#include <QDir>
#include <QFileInfo>

namespace ProgramIcon {

QString themeName() {
    return ProgramInfo::appId;
}

QString find(const QString& programFolder) {
    if (programFolder.isEmpty())
        return {};
    const QDir program(programFolder);
    const QStringList candidates{
        program.filePath(QStringLiteral("quillmot.svg")),
        QDir::cleanPath(program.filePath(QStringLiteral("../share/icons/hicolor/scalable/apps/") +
                                         themeName() + QStringLiteral(".svg")))};
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile())
            return path;
    return {};
}

} // namespace ProgramIcon
