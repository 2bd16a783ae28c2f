#pragma once
// Tells when the mount table changed: a drive plugged in or out, a share mounted. Cheap enough to
// ask on every tick of the engine's timer.

class MountChanges {
public:
    MountChanges();
    ~MountChanges();
    MountChanges(const MountChanges&) = delete;
    MountChanges& operator=(const MountChanges&) = delete;

    // True when something was mounted or unmounted since the last call (or since construction).
    bool changed();

private:
    int m_handle = -1;
};
