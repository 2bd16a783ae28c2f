#pragma once
// Questions and notices to the user, titled "Quillmot". The core asks through this interface so
// that it runs and is tested without a display; the GUI answers with real message boxes.

#include <QString>

class MessageBoxes {
public:
    enum class Icon { Information, Exclamation, Question };
    enum class Answer { Yes, No, Cancel, Ok };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

    virtual ~MessageBoxes() = default;
    virtual Answer ask(const QString& text, Icon icon, Buttons buttons) = 0;
    // A question whose Yes cannot be undone: Enter, or a key pressed without reading, answers No.
    virtual Answer askDefaultNo(const QString& text, Icon icon, Buttons buttons) {
        return ask(text, icon, buttons);
    }
    void inform(const QString& text) { ask(text, Icon::Information, Buttons::Ok); }
};
