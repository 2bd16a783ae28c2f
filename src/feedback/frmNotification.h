#pragma once
// The notification popup: a small frameless window at the bottom-right corner of the work area
// of the screen that holds the tray. It never takes the focus or the keyboard. What it shows and
// when is decided by PopupPresenter; this window lays it out.

#include "presentation/PopupPresenter.h"

#include <QWidget>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QToolButton;
class ElidedLabel;

class frmNotification : public QWidget {
    Q_OBJECT
public:
    // `screen` names the screen that holds the tray.
    frmNotification(bool autoAdvance, std::function<QScreen*()> screen);

    void showNotification(const PopupContent& content);
    void showScanningStrip();
    void showNoActivate();
    void setTopMost(bool topMost);

signals:
    void closeAreaClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    void placeAtCorner(int height);
    double dpi() const;
    QScreen* targetScreen() const;

    std::function<QScreen*()> m_screen;
    QFrame* shpShade;
    QLabel* lblStatus;
    QToolButton* imgCloseArea;
    QWidget* m_body;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* imgSource;
    ElidedLabel* lblSource;
    QLabel* imgDestination;
    ElidedLabel* lblDestination;
    QLabel* imgQuillmot;
};

// The popup as the presenter sees it: a fresh frmNotification for every load.
class PopupWindow : public PopupView {
public:
    // `closeClicked` is called when the user clicks the close area.
    PopupWindow(std::function<QScreen*()> screen, std::function<void()> closeClicked);
    ~PopupWindow() override;

    void load(bool autoAdvance) override;
    void showNotification(const PopupContent& content) override;
    void showScanningStrip() override;
    void showNoActivate() override;
    void hide() override;
    void unload() override;
    void setTopMost(bool topMost) override;

    frmNotification* window() const { return m_window.get(); }

private:
    std::function<QScreen*()> m_screen;
    std::function<void()> m_closeClicked;
    std::unique_ptr<frmNotification> m_window;
};
