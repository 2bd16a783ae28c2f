#pragma once
// A path as the *at() system calls take it. A path within the kernel's length limit is named
// whole; a longer one (deep folders of long names) is reached a piece at a time: the folder that
// holds it is opened through runs of components that each fit, and the call names the last
// component relative to that folder. Links on the way are followed as a whole path would be.

#include "platform/linux/UniqueFd.h"

#include <QByteArray>

class PathAt {
public:
    explicit PathAt(const QByteArray& nativePath);
    // False when a folder on the way could not be opened; errno says why.
    bool ok() const { return m_ok; }
    // The folder the name is relative to (the current folder for a path named whole).
    int dir() const;
    const char* name() const { return m_name.constData(); }

private:
    UniqueFd m_dir;
    QByteArray m_name;
    bool m_ok = true;
};
