#pragma once

// Connects the main window's upgrade calls and tick to the upgrade popup.
// Start-up and the page set-up call it; calling it again is harmless.
void installPopupHooks();
