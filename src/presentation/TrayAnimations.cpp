#include "presentation/TrayAnimations.h"

#include "persistence/Options.h"
#include "presentation/Ticker.h"

namespace {
// A stopped animation timer is restarted with this interval, so its first tick comes at once.
constexpr int startMs = 1;
} // namespace

TrayAnimations::TrayAnimations(IconSink& sink, const Options& options, Ticker& nod, Ticker& shake,
                               Ticker& shrug)
    : m_sink(sink), m_options(options), tmrNod(nod), tmrShake(shake), tmrShrug(shrug) {
    tmrNod.setHandler([this] { nodTick(); });
    tmrShake.setHandler([this] { shakeTick(); });
    tmrShrug.setHandler([this] { shrugTick(); });
}

void TrayAnimations::start(UserInterface::Animation animation) {
    switch (animation) {
    case UserInterface::Animation::Nod:
        tmrNod.start(startMs);
        break;
    case UserInterface::Animation::Shake:
        tmrShake.start(startMs);
        break;
    case UserInterface::Animation::Shrug:
        tmrShrug.start(startMs);
        break;
    }
}

bool TrayAnimations::isRunning() const {
    return tmrNod.isActive() || tmrShake.isActive() || tmrShrug.isActive();
}

void TrayAnimations::nodTick() {
    flipTick(Flip{tmrNod, m_nodRequested, m_nodToggle, TrayPicture::Nod}, m_options.TrayNod);
}

void TrayAnimations::shakeTick() {
    flipTick(Flip{tmrShake, m_shakeRequested, m_shakeToggle, TrayPicture::Shake},
             m_options.TrayShake);
}

void TrayAnimations::flipTick(const Flip& flip, bool enabled) {
    flip.requested = true;
    if (enabled) {
        m_sink.showPicture(flip.toggle ? TrayPicture::Normal : flip.frame);
        flip.toggle = !flip.toggle;
    }
    if (m_nodRequested && m_shakeRequested) {
        // A shake ran into a nod (or the other way round): success and failure together.
        turnIntoShrug();
    } else if (gintAnimCount >= lastFrame) {
        flip.timer.stop();
        gintAnimCount = 0;
        endFlips();
    } else {
        flip.timer.start(frameMs);
        ++gintAnimCount;
    }
}

// The nod or shake may stop on its frame picture; the shrug that follows ends on the normal icon.
// Without a shrug the icon goes back to normal here, and the requests are cleared, or every later
// nod or shake would be taken for an overlap and stop after one frame.
void TrayAnimations::turnIntoShrug() {
    tmrNod.stop();
    tmrShake.stop();
    gintAnimCount = 0;
    m_nodToggle = false;
    m_shakeToggle = false;
    if (m_options.TrayShrug) {
        tmrShrug.start(startMs);
    } else {
        endFlips();
        m_sink.showPicture(TrayPicture::Normal);
    }
}

void TrayAnimations::endFlips() {
    m_nodRequested = false;
    m_shakeRequested = false;
    m_nodToggle = false;
    m_shakeToggle = false;
}

void TrayAnimations::shrugTick() {
    static constexpr TrayPicture cycle[] = {TrayPicture::Nod, TrayPicture::Normal,
                                            TrayPicture::Shake, TrayPicture::Normal};
    if (m_options.TrayShrug) {
        m_sink.showPicture(cycle[m_shrugStep]);
        m_shrugStep = (m_shrugStep + 1) % 4;
    }
    if (gintAnimCount >= lastFrame) {
        tmrShrug.stop();
        endFlips();
        m_shrugStep = 0;
        gintAnimCount = 0;
        m_sink.showPicture(TrayPicture::Normal);
    } else {
        tmrShrug.start(frameMs);
        ++gintAnimCount;
    }
}

TrayPreview::TrayPreview(IconSink& sink, Ticker& timer) : m_sink(sink), m_timer(timer) {
    m_timer.setHandler([this] { tick(); });
}

void TrayPreview::play(UserInterface::Animation animation) {
    // Either way the normal picture is back before the new preview's first frame.
    if (isRunning())
        stop();
    else
        m_sink.showPicture(TrayPicture::Normal);
    m_animation = animation;
    m_frame = 0;
    m_timer.start(startMs);
}

void TrayPreview::stop() {
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_frame = 0;
    m_sink.showPicture(TrayPicture::Normal);
}

bool TrayPreview::isRunning() const {
    return m_timer.isActive();
}

void TrayPreview::tick() {
    using Animation = UserInterface::Animation;
    const bool onFrame = m_frame % 2 == 0;
    TrayPicture frame = m_animation == Animation::Shake ? TrayPicture::Shake : TrayPicture::Nod;
    if (m_animation == Animation::Shrug && m_frame % 4 == 2)
        frame = TrayPicture::Shake;
    m_sink.showPicture(onFrame ? frame : TrayPicture::Normal);
    if (m_frame >= TrayAnimations::lastFrame) {
        m_timer.stop();
        m_frame = 0;
        m_sink.showPicture(TrayPicture::Normal);
        return;
    }
    m_timer.start(TrayAnimations::frameMs);
    ++m_frame;
}
