#pragma once

// The web page that hosts the program; elsewhere these do nothing.
namespace Page {

// A page cannot close its own tab: it is told that the program has ended, and says so.
void programEnded(int exitCode);

// Settles Qt into the page; call once the application exists. A page has no system font, and Qt falls back to
// 12 pt: the text gets the desktops' 9 pt, the size the dialogs' captions are laid out for. Qt's hidden text field
// gets a name for screen readers and takes pastes, and Qt's screen-reader mirror follows controls that move.
void settleQt();

// Whether the page's primary pointer is a finger rather than a mouse; false outside a page.
bool coarsePointer();

} // namespace Page
