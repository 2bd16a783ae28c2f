#include "platform/AppData.h"

#include "platform/Paths.h"
#include "platform/ProgramInfo.h"

#include <QStandardPaths>
#include <QSysInfo>

namespace AppData {

namespace {
// The longest computer name the stored files and the comparisons expect.
constexpr qsizetype maxComputerNameLength = 255;
} // namespace

QString folder() {
    return Paths::join(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                       ProgramInfo::name);
}

QString filePath(const QString& name) {
    return Paths::join(folder(), name);
}

QString computerName() {
    QString name = QSysInfo::machineHostName();
    const qsizetype nul = name.indexOf(QChar(u'\0'));
    if (nul >= 0)
        name.truncate(nul);
    return name.left(maxComputerNameLength);
}

} // namespace AppData
