#pragma once
// When the main window's menu items are available and what they read, decided from the facts of
// the selected tree node. The window applies the result to the items with these object names.

#include <QHash>
#include <QString>

// What the availability rules need to know about the selection.
struct SelectionFacts {
    bool selected = false;
    bool root = false;          // a mount point
    bool association = false;   // an association node (else a container)
    bool sourceMissing = false; // its image is one of the yellow ones
    bool enabled = false;       // the association is enabled
    bool pathExists = false;    // the node's path exists as a file, a folder or a mount point
};

struct ItemState {
    bool enabled = true;
    QString caption; // empty: the caption stays
};

// Object name -> state, for the items a menu's rule touches.
using MenuState = QHash<QString, ItemState>;

namespace MenuRules {

inline const QString disable = QStringLiteral("Disable");
inline const QString enable = QStringLiteral("Enable");
inline const QString rename = QStringLiteral("Rename");
inline const QString renameVolume = QStringLiteral("Rename Volume");

// "&Window": the show/hide item's caption.
QString showHideCaption(bool minimized);
// "&Back-up", "&Actions" and the popup menu, as each opens.
MenuState backUpMenu(const SelectionFacts& facts);
MenuState actionsMenu(const SelectionFacts& facts);
MenuState popupMenu(const SelectionFacts& facts);

} // namespace MenuRules
