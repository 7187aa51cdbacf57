#pragma once
// The main window's settings: read from the store onto the window at
// start-up, and as they stand in the window and process-wide values.

#include "app/AppState.h"
#include "app/MainWindowControls.h"
#include "app/SettingsStore.h"

#include <QRect>
#include <QSize>
#include <optional>

class QMainWindow;

std::string stripTrailingSlash(std::string s);

// Puts the stored settings on the window (the language chooser asks on a
// first start). Returns the stored outer bounds, to be made exact once the
// window frame is known.
std::optional<QRect> loadWindowSettings(QMainWindow &w, MainWindowControls &c, app::AppState &st, QSize minOuter);

app::SettingsValues windowSettings(const QMainWindow &w, const MainWindowControls &c, const app::AppState &st);

// With the frame known: the minimum outer size, and the stored outer bounds
// when there are any (a maximised window keeps its size).
void applyOuterSizes(QMainWindow &w, QSize minOuter, const std::optional<QRect> &storedOuter);
