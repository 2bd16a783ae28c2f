// Copies one file with the program's own copy (FileSystem::copyFile: temporary file, kernel-side
// copy in chunks, permission bits and times, fsync, rename), letting the event loop run between
// chunks as the engine does. The driver times it from outside, exactly as it times `cp`.
//
//   bench_copy SOURCE TARGET

#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE TARGET\n", argv[0]);
        return 2;
    }
    FileSystem fso;
    const CopyResult result = fso.copyFile(Paths::fromNative(argv[1]), Paths::fromNative(argv[2]),
                                           [] { QCoreApplication::processEvents(); });
    if (!result.ok()) {
        std::fprintf(stderr, "copy failed: errno %d\n", result.errnoValue);
        return 1;
    }
    return 0;
}
