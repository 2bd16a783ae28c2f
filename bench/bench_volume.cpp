// Prints the volume name Quillmot sees for the drive holding each path given, one per line, so
// that the benchmark drivers can write store files that pass the engine's volume checks.

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH...\n", argv[0]);
        return 2;
    }
    FileSystem fso;
    for (int i = 1; i < argc; ++i) {
        const QString drive = fso.GetDriveName(QString::fromLocal8Bit(argv[i]));
        std::printf("%s\n", qPrintable(fso.VolumeName(drive)));
    }
    return 0;
}
