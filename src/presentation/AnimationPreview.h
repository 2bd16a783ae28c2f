#pragma once
// The tray previews of the options dialog: a right-click on an animation's box plays it on the
// tray icon for 26 ticks, 125 ms apart, ending on the normal icon. A new preview stops the one
// running.

#include <QObject>
#include <QTimer>

// Where the preview shows its images: the tray icon in the program, a recorder in tests.
class PreviewIconSink {
public:
    enum class Image { Normal, Nod, Shake };
    virtual ~PreviewIconSink() = default;
    virtual void showTrayImage(Image image) = 0;
};

class AnimationPreview : public QObject {
    Q_OBJECT
public:
    enum class Kind { Nod, Shake, Shrug };
    static constexpr int Ticks = 26;
    static constexpr int TickMs = 125;

    explicit AnimationPreview(PreviewIconSink& sink, int tickMs = TickMs,
                              QObject* parent = nullptr);

    // Puts the normal icon back, then plays `kind`; its first tick comes at once.
    void start(Kind kind);
    // Ends a running preview on the normal icon (the dialog closed).
    void stop();
    bool running() const { return m_timer.isActive(); }

signals:
    void finished();

private:
    void tick();
    void show(PreviewIconSink::Image image);

    PreviewIconSink& m_sink;
    QTimer m_timer;
    Kind m_kind = Kind::Nod;
    int m_frame = 0;
    PreviewIconSink::Image m_showing = PreviewIconSink::Image::Normal;
};
