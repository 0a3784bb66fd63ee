#pragma once
// The Help menu's two commands: the manual and the About box.
class QWidget;

// The manual page through the desktop's handler of man: addresses; where there is
// none, the installed plain-text manual in a window of our own.
void ShowManual(QWidget* Parent);
// The version, the licence and the home page.
void ShowAbout(QWidget* Parent);
