#pragma once

#include "plugin/WpsListPair.h"

#include <QString>

class ConfirmationPrompt;

// The work of an uninstall, without the model: the user's question, then the add-in taken out of
// WPS's add-in folder under the operation lock. Nothing else is touched: not the tool, its log,
// its package cache, nor any other add-in.
namespace UninstallFlow {

// Asks whether to uninstall; true only when the user chose to. Without a prompt nobody can say yes.
bool confirm(ConfirmationPrompt *prompt);

// Deletes the add-in's folders, then its publish.xml elements, then its authaddin.json entries.
// Throws at the first step that fails; what was removed before stays removed. Says what became of
// a write of WPS's lists that an earlier run left unfinished.
WpsListPair::Recovery removeFromWps(const QString &addonDir);

} // namespace UninstallFlow
