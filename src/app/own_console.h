#pragma once
// A console program started from the Start menu or Explorer gets a console window of its own,
// which would stay behind the panel for as long as it runs, and closing it would end the panel.

// Lets go of the console when it was made for this program alone (nothing on Linux); a console
// the program was started from stays, so messages still reach it.
void releaseOwnConsole();
