#pragma once
// The main window over a tree of associations, with the life cycle its commands pause through,
// and a way to answer the modal dialog a command opens.

#include "core/Lifecycle.h"
#include "mainwindow/frmQuillmot.h"
#include "presentation/TreeFixture.h"
#include "support/GuiApp.h"

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

class MainWindowFixture : public TreeFixture {
protected:
    std::unique_ptr<Lifecycle> lifecycle;
    std::unique_ptr<frmQuillmot> window;

    void SetUp() override {
        ensureGuiApp();
        TreeFixture::SetUp();
        lifecycle = std::make_unique<Lifecycle>(*state, *engine);
        window = std::make_unique<frmQuillmot>();
        window->attachTree(tree.get(), commands.get());
    }
    void TearDown() override {
        window.reset();
        TreeFixture::TearDown();
    }

    // Calls `answer` with the modal dialog of type `Dialog` once it is up.
    template <class Dialog> static void whenShown(std::function<void(Dialog*)> answer) {
        auto step = std::make_shared<std::function<void()>>();
        *step = [answer = std::move(answer), step] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                QTimer::singleShot(10, *step);
                return;
            }
            // The stored step holds itself; letting it go ends the cycle, and the timer's copy
            // that is running keeps what it needs until it returns.
            *step = nullptr;
            answer(dialog);
        };
        QTimer::singleShot(0, *step);
    }
};
