#pragma once

// The web page that hosts the program; elsewhere these do nothing.
namespace Page {

// A page cannot close its own tab: it is told that the program has ended, and says so.
void programEnded(int exitCode);

// Whether the page's primary pointer is a finger rather than a mouse; false outside a page.
bool coarsePointer();

} // namespace Page
