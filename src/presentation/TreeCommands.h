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
inline const QString removeAssociation =
    QStringLiteral("Are you sure you wish to remove this association?");
inline const QString removeContained = QStringLiteral(
    "Are you sure you wish to remove all associations contained below this folder or drive?");
} // namespace TreeTexts

class TreeCommands {
public:
    TreeCommands(AppState& state, Engine* engine, AssociationTree& tree);

    SelectionFacts factsOf(const TreeNode* node) const;

    // Asks first (an association, or everything below a container); true when removed.
    bool Remove(const TreeNode* node);
    // Closes or reopens the association's watch and shows the magenta or green picture. The
    // store files are written with the next store write.
    void toggleEnabled(const TreeNode* node);
    // The path the properties dialog opens for an association node; empty for a container.
    QString selectedSourcePath(const TreeNode* node) const;

private:
    AppState& m_state;
    Engine* m_engine;
    AssociationTree& m_tree;
};
