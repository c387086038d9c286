#pragma once

// Reasons carried by KelRamPara::test_signal / sig_update_para and by the
// USB watcher's signal to SyncUpdate::para_sync.
enum SyncReason : int {
    SYNC_PARA = 1,
    SYNC_USER_MODE = 2,
    SYNC_WLAN_STATE = 11,
    SYNC_INPUT_INFO = 12,
    SYNC_RCV_RECOVERY = 99,
    SYNC_USB_ADD = 100,
    SYNC_USB_REMOVE = 101,
    SYNC_USB_READING = 102,
    SYNC_FILE_END = 103,
    SYNC_USB_UPGRADE = 104,
    SYNC_UPDATE_START = 105,
    SYNC_UPDATE_OVER = 106,
};

// Kinds of the notice popup (TIP::tip_create).
enum TipKind : int {
    TIP_SAVED = 1,
    TIP_USB_IN = 3,
    TIP_USB_OUT = 4,
    TIP_USB_READING = 5,
};
