#pragma once

class QWidget;

// The main window's rectangle under the value "Fenster" of the settings key
// pszKey below the current user's hive. The rectangle is the window's area in
// screen coordinates without the window manager's frame, so that saving and
// restoring it leaves the window where it was.

// Writes the window's rectangle; a null window writes nothing.
void SaveWindowRect(const QWidget* pWnd, const char* pszKey);

// Moves the window to the stored rectangle (relative to the parent for a
// child window); a top-level window is then fitted into its screen. Returns
// false, leaving the window alone, when no value can be read or it does not
// describe a usable rectangle: empty, absurdly large, or entirely off every
// screen.
bool RestoreWindowRect(QWidget* pWnd, const char* pszKey);

// Moves and, where it must, shrinks a top-level window so that it lies,
// frame and title bar included, within the available area of the screen
// that shows most of it. A rectangle saved at another screen size or scale
// thus never comes back with its title bar out of reach.
void FitWindowToScreen(QWidget* pWnd);
