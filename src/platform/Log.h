#pragma once
// Each layer logs to a category of its own ("quillmot.<layer>"), so that one layer's warnings
// can be turned on alone: QT_LOGGING_RULES="quillmot.engine.debug=true".

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

// What the exception being handled says, for a log line. Call it only inside a catch block.
QString currentExceptionText();
