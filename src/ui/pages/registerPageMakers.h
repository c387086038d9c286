#pragma once

// Registers the maker of every page built so far with PageOpener and
// installs the popup hooks of the main window. Start-up calls it once
// before the main window exists; page tests call it after their fixture
// has cleared the makers. Pages not registered open as placeholders.
void registerPageMakers();
