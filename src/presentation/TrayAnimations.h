#pragma once
// The tray icon's pictures and its three flip-book animations. After each changed file the icon
// nods (all copies succeeded), shakes (all failed) or shrugs (some of each). A nod and a shake
// that overlap become a shrug; the three share one frame counter, so they shorten each other.

#include "state/UserInterface.h"

class Ticker;
struct Options;

enum class TrayPicture { Normal, Nod, Shake, Dialog };

// Whatever shows the tray picture: the tray icon in the program, a recorder in tests.
class IconSink {
public:
    virtual ~IconSink() = default;
    virtual void showPicture(TrayPicture picture) = 0;
};

class TrayAnimations {
public:
    static constexpr int frameMs = 125;
    static constexpr int lastFrame = 25; // counted from 0: 26 pictures, about 3.2 s

    // `options` is read at every tick, so a changed animation switch applies at once. The
    // timers' ticks are handled here.
    TrayAnimations(IconSink& sink, const Options& options, Ticker& tmrNod, Ticker& tmrShake,
                   Ticker& tmrShrug);

    // The first tick comes at once; a start while the same animation runs just continues it.
    void start(UserInterface::Animation animation);
    bool isRunning() const;

    void nodTick();
    void shakeTick();
    void shrugTick();

private:
    struct Flip {
        Ticker& timer;
        bool& requested;
        bool& toggle;
        TrayPicture frame;
    };
    void flipTick(const Flip& flip, bool enabled);
    void turnIntoShrug();
    void endFlips();

    IconSink& m_sink;
    const Options& m_options;
    Ticker& tmrNod;
    Ticker& tmrShake;
    Ticker& tmrShrug;
    int gintAnimCount = 0;
    bool m_nodToggle = false;
    bool m_shakeToggle = false;
    bool m_nodRequested = false;
    bool m_shakeRequested = false;
    int m_shrugStep = 0; // position in the cycle nod frame, normal, shake frame, normal
};

// The options dialog's preview of one animation: 26 pictures 125 ms apart, starting at once and
// ending on the normal icon, whatever the animation switches say. A new preview stops the one
// that runs.
class TrayPreview {
public:
    TrayPreview(IconSink& sink, Ticker& timer);

    void play(UserInterface::Animation animation);
    // Ends a running preview on the normal icon; does nothing when none runs.
    void stop();
    bool isRunning() const;
    void tick();

private:
    IconSink& m_sink;
    Ticker& m_timer;
    UserInterface::Animation m_animation = UserInterface::Animation::Nod;
    int m_frame = 0;
};
