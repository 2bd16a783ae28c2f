#include "mainwindow/ElidingPanel.h"

#include <QResizeEvent>

namespace {
// The narrowest the panel gets: enough for a few characters either side of the ellipsis.
constexpr int shortestShownCharacters = 12;
} // namespace

ElidingPanel::ElidingPanel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ElidingPanel::setFullText(const QString& text) {
    m_fullText = text;
    setToolTip(text);
    showWhatFits();
    updateGeometry();
}

QSize ElidingPanel::sizeHint() const {
    const int frame = 2 * (frameWidth() + margin());
    return {fontMetrics().horizontalAdvance(m_fullText) + frame + 4, QLabel::sizeHint().height()};
}

QSize ElidingPanel::minimumSizeHint() const {
    const int frame = 2 * (frameWidth() + margin());
    const int shortest = fontMetrics().averageCharWidth() * shortestShownCharacters;
    return {std::min(shortest, sizeHint().width()) + frame, QLabel::minimumSizeHint().height()};
}

void ElidingPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showWhatFits();
}

void ElidingPanel::showWhatFits() {
    setText(fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, contentsRect().width()));
}
