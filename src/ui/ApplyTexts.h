#pragma once
// Laying a window's texts over its controls, found by objectName.

#include "ui/ControlTexts.h"

#include <string>
#include <vector>

class QObject;

namespace ui {

// The part of a hint before the first "|" (the tooltip), and the part after
// it (the hint line). A hint without "|" serves as both.
std::string shortHint(const std::string &hint);
std::string longHint(const std::string &hint);

// Sets each listed control's caption (button text, group title, label text,
// action text, menu title, tab text; object "" or a window: its title) and
// hint (toolTip = short part, statusTip = long part), and its accessible name
// from the caption. Null texts are left as they are; names not found under
// root are skipped.
void applyControlTexts(QObject *root, const std::vector<ControlText> &texts);

// Sets the shortcuts of the listed actions.
void applyShortcuts(QObject *root, const std::vector<ControlShortcut> &keys);

// Names of the listed controls that do not exist under root (object "" is
// root itself). For checks that a window and its table agree.
std::vector<std::string> missingControls(QObject *root, const std::vector<ControlText> &texts);

} // namespace ui
