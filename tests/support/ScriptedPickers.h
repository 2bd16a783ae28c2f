#pragma once
// File and folder pickers that answer from a script, queued per test.

#include "platform/FilePickers.h"

#include <deque>

class ScriptedPickers : public FilePickers {
public:
    std::deque<QStringList> files; // answers of openFiles, in order; cancelled when empty
    std::deque<QString> folders;   // answers of folder, in order; cancelled when empty
    QStringList titles;            // every title or prompt shown

    QStringList openFiles(const QString& title) override {
        titles << title;
        if (files.empty())
            return {};
        QStringList answer = files.front();
        files.pop_front();
        return answer;
    }
    QString folder(const QString& prompt) override {
        titles << prompt;
        if (folders.empty())
            return {};
        QString answer = folders.front();
        folders.pop_front();
        return answer;
    }
};
