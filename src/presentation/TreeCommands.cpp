#include "presentation/TreeCommands.h"

#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "presentation/AssociationTree.h"
#include "state/AppState.h"

TreeCommands::TreeCommands(AppState& state, Engine* engine, AssociationTree& tree)
    : m_state(state), m_engine(engine), m_tree(tree) {}

SelectionFacts TreeCommands::factsOf(const TreeNode* node) const {
    SelectionFacts f;
    if (!node)
        return f;
    f.selected = true;
    f.root = node->isRoot();
    const auto association = m_tree.associationOf(*node);
    f.association = association != nullptr;
    f.enabled = association && association->Enabled;
    f.sourceMissing = ImageKeys::isYellow(node->imageKey);
    const FileSystem& fso = *m_state.fso;
    f.pathExists = f.root ? fso.DriveExists(node->path)
                          : fso.FileExists(node->path) || fso.FolderExists(node->path);
    return f;
}

bool TreeCommands::Remove(const TreeNode* node) {
    if (!node) {
        m_state.messages.inform(TreeTexts::nothingSelected);
        return false;
    }
    const auto answer = m_state.messages.askDefaultNo(
        removeQuestion(*node), MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::YesNoCancel);
    if (answer != MessageBoxes::Answer::Yes)
        return false;
    m_tree.RemoveLocal(node);
    return true;
}

QString TreeCommands::removeQuestion(const TreeNode& node) const {
    if (const auto association = m_tree.associationOf(node))
        return TreeTexts::removeAssociation.arg(Paths::displayName(association->SourcePath));
    const QStringList below = m_tree.associationsBelow(node);
    const QString container = Paths::displayName(node.path);
    if (below.size() == 1)
        return TreeTexts::removeOnlyContained.arg(Paths::displayName(below.first()), container);
    return TreeTexts::removeContained.arg(QString::number(below.size()), container);
}

void TreeCommands::toggleEnabled(const TreeNode* node) {
    if (!node)
        return;
    const auto association = m_tree.associationOf(*node);
    if (!association || ImageKeys::isYellow(node->imageKey))
        return;
    const QString path = association->SourcePath;
    if (association->Enabled) {
        if (association->Folder && m_engine)
            m_engine->disableFolderWatch(path);
        association->Enabled = false;
    } else {
        if (association->Folder && m_engine)
            m_engine->enableFolderWatch(path, association->Recursive);
        association->Enabled = true;
    }
    m_tree.applyIconRule(node->path);
}

QString TreeCommands::selectedSourcePath(const TreeNode* node) const {
    if (!node)
        return {};
    const auto association = m_tree.associationOf(*node);
    return association ? association->SourcePath : QString();
}
