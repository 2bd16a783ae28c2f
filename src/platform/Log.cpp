#include "platform/Log.h"

#include <exception>

Q_LOGGING_CATEGORY(lcPlatform, "quillmot.platform", QtWarningMsg)

QString currentExceptionText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("an exception of unknown type");
    }
}
