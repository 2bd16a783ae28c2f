#include "presentation/PopupPresenter.h"

#include "presentation/Ticker.h"
#include "state/AppState.h"

#include <cmath>

PopupPresenter::PopupPresenter(AppState& state, PopupView& view, Ticker& nextNotify, Ticker& onTop,
                               std::function<bool()> scanActivity)
    : m_state(state), m_view(view), tmrNextNotify(nextNotify), tmrOnTop(onTop),
      m_scanActivity(std::move(scanActivity)) {
    tmrNextNotify.setHandler([this] { advanceTick(); });
    tmrOnTop.setHandler([this] { onTopTick(); });
}

void PopupPresenter::showNoActivate() {
    if (!m_loaded) {
        load();
        return;
    }
    if (!m_awaitingFirstTick)
        m_view.showNoActivate();
}

void PopupPresenter::load() {
    m_loaded = true;
    m_view.load(m_state.options.AutoAdvance);
    m_view.setTopMost(true);
    PopupOnTop = true;
    OwnWindowActive = false;
    onTopTick();
    m_awaitingFirstTick = true;
    m_notificationShown = false;
    m_perItemDelay = 0;
    tmrNextNotify.start(firstTickMs);
    // A result waiting is shown at once: the user saved a moment ago and looks for it now.
    if (m_state.notifiers->Count() > 0)
        advanceTick();
}

void PopupPresenter::unload() {
    tmrNextNotify.stop();
    tmrOnTop.stop();
    PopupClosed = false;
    m_loaded = false;
    m_awaitingFirstTick = false;
    m_view.unload();
}

void PopupPresenter::advanceTick() {
    const bool firstTick = m_awaitingFirstTick;
    m_awaitingFirstTick = false;
    if (m_state.notifiers->Count() > 0) {
        showFirstInQueue();
        return;
    }
    if (!m_scanActivity()) {
        unload();
        return;
    }
    // Nothing queued while a scan goes on: the scanning strip, when the user wants to see it.
    OwnWindowActive = true;
    if (!m_state.options.ShowScanning)
        m_view.hide();
    if (m_notificationShown || firstTick) {
        m_view.showScanningStrip();
        if (m_notificationShown)
            tmrNextNotify.start(scanningTickMs);
        else if (m_state.options.ShowScanning)
            m_view.showNoActivate();
        m_notificationShown = false;
    }
}

void PopupPresenter::showFirstInQueue() {
    m_notificationShown = true;
    const auto item = m_state.notifiers->Item(1);
    m_view.showNotification(contentOf(*item));
    if (!m_state.options.AutoAdvance) {
        tmrNextNotify.stop(); // the user clicks for the next one
    } else {
        // A burst of N results takes about AdvanceSeconds in all: the share of one is fixed
        // when the popup shows its first result and kept until it unloads.
        if (m_perItemDelay == 0)
            m_perItemDelay = m_state.options.AdvanceSeconds / m_state.notifiers->Count();
        const int ms = int(std::floor(m_perItemDelay * 1000));
        tmrNextNotify.start(std::max(ms, shortestAdvanceMs));
    }
    m_state.notifiers->Remove(1);
}

PopupContent PopupPresenter::contentOf(const clsNotifier& item) const {
    const Options& options = m_state.options;
    PopupContent content;
    content.status = PopupTexts::statusText(item.Message);
    content.kind = PopupTexts::kindOf(item.Message);
    content.source = PopupTexts::sourceText(item.Source, options.FullSource);
    content.sourcePath = item.Source;
    content.sourceExists = m_state.fso->FileExists(item.Source);
    content.destination = PopupTexts::destinationLine(item.Destination, item.DestFolder,
                                                      item.DestVolume, options.FullDest);
    return content;
}

void PopupPresenter::closeAreaClicked() {
    if (!m_loaded)
        return;
    if (!m_state.options.AutoAdvance) {
        if (!m_notificationShown)
            m_view.hide();
        tmrNextNotify.start(nextAtOnceMs);
    } else if (m_scanActivity()) {
        PopupClosed = true;
        m_view.hide();
    } else {
        unload();
    }
}

void PopupPresenter::onTopTick() {
    if (OwnWindowActive) {
        tmrOnTop.stop();
        return;
    }
    if (PopupOnTop) {
        m_view.setTopMost(true);
        tmrOnTop.start(onTopMs);
    } else {
        m_view.setTopMost(false);
        tmrOnTop.stop();
    }
}

void PopupPresenter::ownWindowActivated() {
    OwnWindowActive = true;
}

void PopupPresenter::trayMenuOpening() {
    PopupOnTop = false;
}
