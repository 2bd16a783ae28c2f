#pragma once
// A status-bar panel whose text gives way in the middle when the window is too narrow for it
// ("Selected Drive Volume: UUID=0123…cdef"); the whole text is in its tool tip.

#include <QLabel>

class ElidingPanel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingPanel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return m_fullText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showWhatFits();

    QString m_fullText;
};
