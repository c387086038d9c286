#pragma once
// Logical folders of the card files, shared by the file upload, the card
// procedures and the pages (resolved through the path map before use).
namespace StoreFolders {
inline constexpr const char* kSmartMappingDir = "/data/smartmapping";
inline constexpr const char* kRecoveryDir = "/data/rcvrecovery";
inline constexpr const char* kUsbStickDir = "/mnt/usb1";
}
