#pragma once
// The main window: for now its menus for pausing and exiting, and the status bar with its four
// panels. Closing it hides it; the program goes on in the tray.

#include <QLabel>
#include <QMainWindow>
#include <QRect>
#include <functional>
#include <optional>

class QAction;

class frmQuillmot : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int DefaultWidthTwips = 9330;
    static constexpr int DefaultHeightTwips = 5300;

    explicit frmQuillmot(QWidget* parent = nullptr);

    // Twips are the unit of the stored window preferences: 15 per pixel at 96 DPI.
    double twipsPerPixel() const;
    QRect workAreaTwips() const;
    std::optional<QRect> geometryTwips() const; // while visible and not minimised
    QSize sizeTwips() const;
    void setGeometryTwips(const QRect& twips);
    void centreDefaultSize();

    void setRunningText(const QString& text) { m_running->setText(text); }
    void setBackupsText(const QString& text) { m_backups->setText(text); }
    void setSchemeText(const QString& text) { m_scheme->setText(text); }
    void setPausedLook(bool paused);
    void setPauseCommandEnabled(bool enabled);

    // Brings the window up in its normal state (tray click, a second start).
    void showNormalAndActivate();
    bool activatedOnce() const { return m_activatedOnce; }

signals:
    void pauseToggleRequested();
    void exitRequested();
    // The close query: preferences and stores are to be written now.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildStatusBar();

    QLabel* m_backups;
    QLabel* m_running;
    QLabel* m_volume;
    QLabel* m_scheme;
    QAction* m_pauseAction = nullptr;
    QAction* m_showHideAction = nullptr;
    bool m_activatedOnce = false;

public:
    // Answers whether a close is the program's exit (then the window really closes).
    std::function<bool()> exitingQuery;
};
