#pragma once

// The web page that hosts the program; elsewhere these do nothing.
namespace Page {

// A page cannot close its own tab: it is told that the program has ended, and says so.
void programEnded(int exitCode);

// A page has no system font, and Qt falls back to 12 pt; the desktops' dialog font is 9 pt, the size the dialogs'
// captions are laid out for. Gives the page's text that size; call once the application exists.
void useDesktopFontSize();

// Names the page's hidden text field, through which Qt types, for screen readers, and lets pastes into it through.
// Call once the application exists.
void settleTextField();

// Whether the page's primary pointer is a finger rather than a mouse; false outside a page.
bool coarsePointer();

} // namespace Page
