#include "platform/ChangeWatch.h"

void ChangeBatch::append(const ChangeBatch& later) {
    if (overflow || later.overflow) {
        *this = everything();
        return;
    }
    if (files.isEmpty()) {
        files = later.files;
    } else {
        const QSet<QString> known(files.cbegin(), files.cend());
        for (const QString& file : later.files)
            if (!known.contains(file))
                files << file;
    }
    for (const QString& folder : later.newFolders)
        if (!newFolders.contains(folder))
            newFolders << folder;
}

ChangeBatch ChangeBatch::everything() {
    ChangeBatch batch;
    batch.overflow = true;
    return batch;
}
