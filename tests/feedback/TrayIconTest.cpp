// The tray icon offscreen: the dialog guard on the left click, the Show/Hide caption, a failing
// handler that must not escape, and the pictures the animations leave behind.

#include "feedback/TrayIcon.h"
#include "feedback/TrayArtwork.h"
#include "state/AppState.h"
#include "support/GuiApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"
#include "support/Warnings.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
class TrayIconTest : public StateOverHome {
protected:
    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<TrayIcon> tray;

    void SetUp() override {
        ensureGuiApp();
        makeState();
        mainWindow = std::make_unique<QWidget>();
        tray = std::make_unique<TrayIcon>(*state, mainWindow.get());
    }
    QAction* item(const char* name) const { return tray->menu()->findChild<QAction*>(name); }
    QString showHideCaption() {
        emit tray->menu()->aboutToShow();
        return item("mnuShowHide")->text();
    }
};
} // namespace

TEST_F(TrayIconTest, LeftClickBringsTheWindowUpUnlessADialogIsOpenWhosePictureOutlastsAnimations) {
    QSignalSpy shows(tray.get(), &TrayIcon::showWindowRequested);
    emit tray->systemTrayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(shows.count(), 1);
    {
        DialogOpenScope dialog(*state, tray.get());
        EXPECT_EQ(tray->picture(), TrayPicture::Dialog);
        emit tray->systemTrayIcon().activated(QSystemTrayIcon::Trigger);
        EXPECT_EQ(shows.count(), 1);
        // An animation meanwhile ends on the dialog picture.
        tray->showPicture(TrayPicture::Nod);
        EXPECT_EQ(tray->picture(), TrayPicture::Nod);
        tray->showPicture(TrayPicture::Normal);
        EXPECT_EQ(tray->picture(), TrayPicture::Dialog);
    }
    EXPECT_FALSE(state->DialogOpen);
    EXPECT_EQ(tray->picture(), TrayPicture::Normal);
    // Other activations are the host's business (it opens the menu itself).
    emit tray->systemTrayIcon().activated(QSystemTrayIcon::Context);
    EXPECT_EQ(shows.count(), 1);
}

TEST_F(TrayIconTest, MenuOffersHideOnlyWhileTheWindowIsOnScreen) {
    QSignalSpy opening(tray.get(), &TrayIcon::menuOpening);
    EXPECT_EQ(showHideCaption(), "Show Window");
    mainWindow->show();
    EXPECT_EQ(showHideCaption(), "Hide Window");
    mainWindow->showMinimized();
    EXPECT_EQ(showHideCaption(), "Show Window");
    EXPECT_EQ(opening.count(), 3);

    QSignalSpy shows(tray.get(), &TrayIcon::showWindowRequested);
    item("mnuShowHide")->trigger();
    EXPECT_EQ(shows.count(), 1);
    mainWindow->showNormal();
    showHideCaption();
    QSignalSpy hides(tray.get(), &TrayIcon::hideWindowRequested);
    item("mnuShowHide")->trigger();
    EXPECT_EQ(hides.count(), 1);
}

TEST_F(TrayIconTest, AFailingHandlerDoesNotEscapeTheTrayEvent) {
    int calls = 0;
    QObject::connect(tray.get(), &TrayIcon::showWindowRequested, [&] {
        ++calls;
        throw std::runtime_error("window gone");
    });
    const WarningsCaught warnings;
    EXPECT_NO_THROW(emit tray->systemTrayIcon().activated(QSystemTrayIcon::Trigger));
    EXPECT_NO_THROW(item("mnuShowHide")->trigger());
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(warnings.saw("quillmot.gui", "window gone")) << "the failure left no trace";
}

// A pause was invisible from the tray, and only the main window could end it.
TEST_F(TrayIconTest, ThePausedAndWarningLooksOutlastAnimationsAndTheMenuPausesAndResumes) {
    const auto shows = [&](TrayPicture picture, TrayLook look) {
        return tray->systemTrayIcon().icon().cacheKey() ==
               TrayArtwork::icon(picture, look).cacheKey();
    };
    tray->setLook(TrayLook::Paused);
    EXPECT_TRUE(shows(TrayPicture::Normal, TrayLook::Paused));
    tray->showPicture(TrayPicture::Nod);
    tray->setLook(TrayLook::PausedWarning);
    EXPECT_TRUE(shows(TrayPicture::Nod, TrayLook::Normal)) << "a frame is the same in any look";
    tray->showPicture(TrayPicture::Normal);
    EXPECT_TRUE(shows(TrayPicture::Normal, TrayLook::PausedWarning));

    QSignalSpy toggles(tray.get(), &TrayIcon::pauseToggleRequested);
    EXPECT_EQ(item("mnuPause")->text(), "Pause");
    item("mnuPause")->trigger();
    EXPECT_EQ(toggles.count(), 1);
    tray->setPaused(true);
    EXPECT_EQ(item("mnuPause")->text(), "Resume");
}

TEST(TrayArtwork, EveryPictureIsDrawnAtTraySizes) {
    ensureGuiApp();
    const std::pair<TrayPicture, TrayLook> pictures[] = {
        {TrayPicture::Normal, TrayLook::Normal},       {TrayPicture::Nod, TrayLook::Normal},
        {TrayPicture::Shake, TrayLook::Normal},        {TrayPicture::Dialog, TrayLook::Normal},
        {TrayPicture::Normal, TrayLook::Paused},       {TrayPicture::Normal, TrayLook::Warning},
        {TrayPicture::Normal, TrayLook::PausedWarning}};
    for (const auto& [picture, look] : pictures) {
        for (int size : {16, 22, 24, 32, 48}) {
            const QImage image = TrayArtwork::icon(picture, look).pixmap(size, size).toImage();
            ASSERT_EQ(image.width(), size) << "picture " << int(picture);
            // The badge fills the middle: an icon that failed to load is transparent there.
            EXPECT_GT(qAlpha(image.pixel(size / 2, size / 2 + size / 4)), 200)
                << "picture " << int(picture) << " at " << size;
        }
    }
    // The frames differ from the normal picture where a small panel shows them.
    const QImage normal = TrayArtwork::icon(TrayPicture::Normal).pixmap(22, 22).toImage();
    EXPECT_NE(normal, TrayArtwork::icon(TrayPicture::Nod).pixmap(22, 22).toImage());
    EXPECT_NE(normal, TrayArtwork::icon(TrayPicture::Shake).pixmap(22, 22).toImage());
    for (TrayLook look : {TrayLook::Paused, TrayLook::Warning, TrayLook::PausedWarning})
        EXPECT_NE(normal, TrayArtwork::icon(TrayPicture::Normal, look).pixmap(22, 22).toImage());
}
