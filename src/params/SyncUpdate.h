#pragma once
#include "params/KeypadReport.h"

#include <QObject>

// The change pass in the GUI thread: keypad LEDs, the page in front, the
// user-mode save request and slot files, and persistence of the saved area.
class SyncUpdate : public QObject {
    Q_OBJECT
public:
    static SyncUpdate* p_SyncUpdate;
    static SyncUpdate* pInstance();

    explicit SyncUpdate(QObject* parent = nullptr);

    // The last report sent to the keypad (zero at start).
    KeypadReport::Bytes keyled_cache{};

    void update_usb_keyLed();

    // True while para_sync runs on the calling thread.
    static bool inPass();

public slots:
    void para_sync(int reason);

private:
    void fixCurrentWindow();
    void refreshPage(int reason);
    void serveSaveRequest();
    void walkSlots();
    void persist();
};
