#pragma once
// The main window's commands on the selected tree node that need no widget: Remove with its
// questions, Disable / Enable, and the facts the menus are decided on.

#include "presentation/MenuRules.h"

#include <QString>

class AppState;
class AssociationTree;
class Engine;
struct TreeNode;

namespace TreeTexts {
inline const QString nothingSelected = QStringLiteral("There is no association selected.");
// Remove names what goes and how much of it: a container at the top of the tree holds them all.
inline const QString removeAssociation = QStringLiteral("Remove the association for %1?");
inline const QString removeOnlyContained =
    QStringLiteral("Remove the association for %1, the only one below %2?");
inline const QString removeContained = QStringLiteral("Remove all %1 associations below %2?");
// Shown in the empty tree: a first start says where to begin.
inline const QString emptyTree =
    QStringLiteral("Nothing is backed up yet.\n\nChoose Add File(s) or Add Folder in the Back-up "
                   "menu or on the toolbar: Quillmot then copies each of those files to the "
                   "destinations you give it, the moment the file is saved.");
// Shown in the tree while the start still reads the associations.
inline const QString readingTree = QStringLiteral("Reading the backups...");
} // namespace TreeTexts

class TreeCommands {
public:
    TreeCommands(AppState& state, Engine* engine, AssociationTree& tree);

    SelectionFacts factsOf(const TreeNode* node) const;

    // Asks first, naming the association or how many lie below the container, with No as the
    // answer Enter gives; true when removed.
    bool Remove(const TreeNode* node);
    // Closes or reopens the association's watch and shows the magenta or green picture. The
    // store files are written with the next store write.
    void toggleEnabled(const TreeNode* node);
    // The path the properties dialog opens for an association node; empty for a container.
    QString selectedSourcePath(const TreeNode* node) const;

private:
    QString removeQuestion(const TreeNode& node) const;

    AppState& m_state;
    Engine* m_engine;
    AssociationTree& m_tree;
};
