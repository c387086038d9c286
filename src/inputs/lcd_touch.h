#pragma once
#include <cstdint>

// The rotary knob ("/dev/ec11"), read on SIGIO.
class lcd_touch {
public:
    static constexpr int kSignal = 29;  // SIGIO

    static lcd_touch* p_lcd_touch;
    static lcd_touch* pInstance();

    lcd_touch();
    ~lcd_touch();

    void lcd_touch_init();
    int initialize();
    static void* lcdmanageThread(void* arg);
    int lcd_touch_detect();
    void auto_timeout_back();

    int ecll_fd = -1;
    uint32_t g_untouched_time = 0;

    // The last byte the handler read and the number of bytes read (the
    // handler stores them with async-signal-safe stores only).
    static int last_value();
    static unsigned read_count();

private:
    static void fifth_testsignal(int signum);
};
