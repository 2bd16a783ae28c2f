#include "presentation/MenuRules.h"

namespace MenuRules {
namespace {

QString enableCaption(const SelectionFacts& f) {
    return f.association && !f.enabled ? enable : disable;
}

QString renameCaption(const SelectionFacts& f) {
    return f.root ? renameVolume : rename;
}

// disable/enable applies to an association whose source is there.
bool canToggle(const SelectionFacts& f) {
    return f.selected && f.association && !f.sourceMissing;
}

// Any association's backups can be looked at, also those of a source that is gone.
bool canRestore(const SelectionFacts& f) {
    return f.selected && f.association;
}

} // namespace

QString showHideCaption(bool minimized) {
    return minimized ? QStringLiteral("Show Window") : QStringLiteral("Hide Window");
}

MenuState backUpMenu(const SelectionFacts& f) {
    // The disable/enable caption follows the selection here too, so the menu bar never offers
    // "Disable" for an association that is already disabled.
    return {{QStringLiteral("mnuEdit"), {f.selected, {}}},
            {QStringLiteral("mnuEnabled"), {canToggle(f), enableCaption(f)}},
            {QStringLiteral("mnuRemove"), {f.selected, {}}},
            {QStringLiteral("mnuRestore"), {canRestore(f), {}}}};
}

MenuState actionsMenu(const SelectionFacts& f) {
    const bool reachable = f.selected && f.pathExists;
    return {{QStringLiteral("mnuOpen"), {reachable, {}}},
            {QStringLiteral("mnuProperties"), {reachable, {}}},
            {QStringLiteral("mnuRename"), {reachable, renameCaption(f)}}};
}

MenuState popupMenu(const SelectionFacts& f) {
    const bool reachable = f.selected && f.pathExists;
    return {{QStringLiteral("mnuPopupEdit"), {f.selected && f.association, {}}},
            {QStringLiteral("mnuPopupOpen"), {reachable, {}}},
            {QStringLiteral("mnuPopupProperties"), {reachable, {}}},
            {QStringLiteral("mnuPopupRename"), {reachable, renameCaption(f)}},
            {QStringLiteral("mnuPopupEnabled"), {canToggle(f), enableCaption(f)}},
            {QStringLiteral("mnuPopupRemove"), {f.selected, {}}},
            {QStringLiteral("mnuPopupRestore"), {canRestore(f), {}}},
            {QStringLiteral("mnuEnabled"), {canToggle(f), enableCaption(f)}}};
}

} // namespace MenuRules
