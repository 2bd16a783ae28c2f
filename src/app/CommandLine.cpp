#include "app/CommandLine.h"

#include "platform/ProgramInfo.h"
#include "restore/RestoreCommand.h"

#include <QString>
#include <cstdio>

namespace {

const QString helpText =
    QStringLiteral("%1 %2: copies each file to its backup destinations the moment it is saved.\n"
                   "Usage:\n"
                   "  quillmot [nowin]\n"
                   "      Starts the program (nowin: without showing its window).\n"
                   "%3"
                   "  quillmot --help\n"
                   "      Shows this text.\n");

bool isHelp(const QString& word) {
    return word == QLatin1String("--help") || word == QLatin1String("-h");
}

} // namespace

namespace CommandLine {

std::optional<int> runCommand(int argc, char** argv) {
    if (argc < 2)
        return std::nullopt;
    const QString word = QString::fromLocal8Bit(argv[1]);
    if (isHelp(word)) {
        const QByteArray text =
            helpText.arg(ProgramInfo::name, ProgramInfo::versionText(), RestoreCommand::usage())
                .toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    if (RestoreCommand::handles(word))
        return RestoreCommand::run(argc, argv, stdout, stderr);
    return std::nullopt;
}

} // namespace CommandLine
