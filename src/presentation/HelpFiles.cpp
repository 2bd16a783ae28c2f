#include "presentation/HelpFiles.h"

#include "platform/MessageBox.h"
#include "platform/ProgramInfo.h"

#include <QDir>
#include <QFileInfo>

#ifndef QUILLMOT_DOC_DIR
#define QUILLMOT_DOC_DIR "/usr/local/share/doc/quillmot"
#endif

namespace HelpFiles {

namespace {
const QString notFound = QStringLiteral("Quillmot could not find %1. It was looked for in:\n\n%2");
const QString notOpened =
    QStringLiteral("No program on this computer opened %1. It is the file:\n\n%2");
const QString homePageNotOpened =
    QStringLiteral("No web browser on this computer opened Quillmot's home page:\n\n%1");
} // namespace

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

void show(const QString& name, const QString& programFolder,
          const std::function<bool(const QString& path)>& open, MessageBoxes& messages) {
    const QString path = find(name, programFolder);
    if (path.isEmpty())
        messages.ask(notFound.arg(name, candidates(name, programFolder).join(QLatin1Char('\n'))),
                     MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
    else if (!open(path))
        messages.ask(notOpened.arg(name, path), MessageBoxes::Icon::Exclamation,
                     MessageBoxes::Buttons::Ok);
}

void showHomePage(const std::function<bool(const QString& address)>& open, MessageBoxes& messages) {
    if (!open(homePage()))
        messages.ask(homePageNotOpened.arg(homePage()), MessageBoxes::Icon::Exclamation,
                     MessageBoxes::Buttons::Ok);
}

} // namespace HelpFiles
