#include "platform/ProgramInfo.h"

namespace ProgramInfo {

QString versionText(const Version& version) {
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.revision);
}

QString updateAddress() {
    const QString overridden = qEnvironmentVariable("QUILLMOT_UPDATE_URL");
    return overridden.isEmpty() ? QStringLiteral(QUILLMOT_UPDATE_URL) : overridden;
}

} // namespace ProgramInfo
