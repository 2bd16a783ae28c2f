#pragma once
// A program state over a temporary home with a real file system, a real engine and the life cycle
// that commands pause through, and the association tree built from its associations. Paths are real
// folders and files under the temporary home, so the icon rule looks at the disk as the program
// does.

#include "core/Lifecycle.h"
#include "engine/Engine.h"
#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "presentation/AssociationTree.h"
#include "presentation/TreeCommands.h"
#include "state/AppState.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

class TreeFixture : public StateOverHome {
protected:
    std::unique_ptr<Engine> engine;
    std::unique_ptr<Lifecycle> lifecycle;
    std::unique_ptr<AssociationTree> tree;
    std::unique_ptr<TreeCommands> commands;

    void SetUp() override {
        ensureCoreApp();
        makeState();
        engine = std::make_unique<Engine>(*state);
        lifecycle = std::make_unique<Lifecycle>(*state, *engine);
        tree = std::make_unique<AssociationTree>(*state, engine.get());
        commands = std::make_unique<TreeCommands>(*state, engine.get(), *tree);
        tree->PlaceIcons();
    }
    void TearDown() override { engine->closeAllWatches(); }

    QString folder(const QString& relative) { return home.makeFolder(relative); }
    QString file(const QString& relative) { return home.writeFile(relative, "data"); }
    // A path below the home that does not exist.
    QString missing(const QString& relative) { return home.path() + u'/' + relative; }

    // An association whose accepted volume is its own drive's, with its watch open.
    std::shared_ptr<clsBackup> associate(const QString& source, bool isFolder,
                                         bool enabled = true) {
        const FileSystem& fso = *state->fso;
        const QString volume = fso.VolumeName(fso.GetDriveName(source));
        clsBackup association =
            newAssociation(source, isFolder, VolumeList::encode({volume}, volume.isEmpty()),
                           DateTimeText::never, state->destinations);
        association.Recursive = true;
        association.Enabled = enabled;
        association.Versions = 0;
        auto added = state->backups->Add(std::move(association), Paths::PathKey(source));
        engine->CreateDetectFolder(source, true);
        return added;
    }
    const TreeNode* node(const QString& path) const { return tree->nodeAtPath(path); }
    QString imageOf(const QString& path) const {
        const TreeNode* n = node(path);
        return n ? n->imageKey : QStringLiteral("<no node>");
    }
    QStringList childTexts(const QString& path) const {
        QStringList texts;
        for (const auto& child : node(path)->children)
            texts.append(child->text);
        return texts;
    }
    // The tree's drive of the temporary home ("/" or the mount holding /tmp).
    QString drive() const { return state->fso->GetDriveName(home.path()); }
};
