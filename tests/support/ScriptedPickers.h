#pragma once
// File and folder pickers that answer from a script, queued per test.

#include "platform/FilePickers.h"

#include <deque>

class ScriptedPickers : public FilePickers {
public:
    std::deque<QStringList> files; // answers of openFiles, in order; cancelled when empty
    std::deque<QString> folders;   // answers of folder, in order; cancelled when empty
    std::deque<QString> saves;     // answers of saveFile, in order; cancelled when empty
    QStringList titles;            // every title or prompt shown

    QStringList openFiles(const QString& title) override { return answer(title, files); }
    QString folder(const QString& prompt) override { return answer(prompt, folders); }
    QString saveFile(const QString& title, const QString&) override { return answer(title, saves); }

private:
    template <class T> T answer(const QString& title, std::deque<T>& queued) {
        titles << title;
        if (queued.empty())
            return {};
        T next = std::move(queued.front());
        queued.pop_front();
        return next;
    }
};
