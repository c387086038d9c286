#pragma once
#include "params/KeypadReport.h"

#include <QObject>

#include <mutex>
#include <vector>

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

    // True while a change pass runs on the calling thread.
    static bool inPass();

    // The change broadcast's receiver, safe from any thread. On the GUI
    // thread outside a pass the pass runs at once. Otherwise the reason
    // joins the one pass that is pending (a new pass is queued only when
    // none is), so a stream of changes never queues more than one pass.
    void announce(int reason);

    // The persistence step on its own: writes the block when it differs
    // from what was saved last.
    void saveSnapshot();

    // The program's exit: a pass still pending runs now (its user-mode save
    // and slot files are not lost with the event queue), then the block is
    // saved when it differs.
    void finishPending();

public slots:
    // One pass for one reason, at once.
    void para_sync(int reason);

private:
    // Reasons in the order they first arrived, each once.
    using Reasons = std::vector<int>;
    static void addReason(Reasons& reasons, int reason);
    Reasons takePending();
    void runPending();
    void runPass(const Reasons& reasons);
    void fixCurrentWindow();
    void refreshPage(int reason);
    void serveSaveRequest();
    void walkSlots();
    void persist();

    std::mutex pendingLock_;
    Reasons pending_;       // guarded by pendingLock_
    bool queued_ = false;   // a runPending is queued; guarded by pendingLock_
};
