#pragma once
// The about box: the program's name and version, the Qt version, and where the settings live.

#include <QDialog>

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    QString text() const;

private:
    class QLabel* m_text;
};
