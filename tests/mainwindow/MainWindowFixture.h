#pragma once
// The main window over a tree of associations.

#include "mainwindow/frmQuillmot.h"
#include "presentation/TreeFixture.h"
#include "support/GuiApp.h"

#include <memory>

class MainWindowFixture : public TreeFixture {
protected:
    std::unique_ptr<frmQuillmot> window;

    void SetUp() override {
        ensureGuiApp();
        TreeFixture::SetUp();
        window = std::make_unique<frmQuillmot>();
        window->attachTree(tree.get(), commands.get());
    }
    void TearDown() override {
        window.reset();
        TreeFixture::TearDown();
    }
};
