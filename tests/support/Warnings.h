#pragma once
// Catches the warnings the program writes while it lives, with their logging category, so that a
// test can see that a failure which was caught and dropped still left a trace.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class WarningsCaught {
public:
    WarningsCaught() : m_previous(qInstallMessageHandler(&WarningsCaught::handle)) {
        s_current = this;
    }
    ~WarningsCaught() {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    WarningsCaught(const WarningsCaught&) = delete;
    WarningsCaught& operator=(const WarningsCaught&) = delete;

    // Whether a warning of `category` mentioned `text`.
    bool saw(const char* category, const QString& text) const {
        const QString prefix = QString::fromLatin1(category) + QLatin1Char(':');
        for (const QString& line : m_lines)
            if (line.startsWith(prefix) && line.contains(text))
                return true;
        return false;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (s_current && type == QtWarningMsg)
            s_current->m_lines << QString::fromLatin1(context.category ? context.category : "") +
                                      QLatin1Char(':') + text;
    }
    inline static WarningsCaught* s_current = nullptr;
    QtMessageHandler m_previous;
    QStringList m_lines;
};
