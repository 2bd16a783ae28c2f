#pragma once
// A number's text box with two arrow buttons stacked beside it: the pair is exactly as tall as
// the box, so the row keeps the box's height whatever the font and the scale.

#include <QLineEdit>
#include <QToolButton>

inline void fitStepArrows(const QLineEdit& box, QToolButton& up, QToolButton& down) {
    const int half = box.sizeHint().height() / 2;
    for (QToolButton* arrow : {&up, &down})
        arrow->setFixedSize(half + half / 2, half);
}
