#pragma once

// The USB keypad's key handler. Every page holds one and passes it every
// key it releases: codes 65..80 select a window, set the current window's
// input, or toggle its freeze or black state; other codes do nothing.
class kel_keyboard {
public:
    kel_keyboard() = default;
    void update_usb_keyEvent(int key);

private:
    void selectWindow(int window);
};
