#pragma once

// The three factory resets of the factory settings page. Each loads the
// default table over the persisted area (fades 60), hands a changed LED
// size to the manager threads and raises the apply flag; they differ in
// what they keep and whether the inputs restart:
//   KeepIp      every persisted setting, inputs restarted;
//   KeepIpEdid  keeps block bytes 896..1375 (the custom EDIDs), no restart;
//   All         as KeepIp, after putting the network address back to its
//               defaults.
class FactoryReset {
public:
    enum class Kind { KeepIp = 1, KeepIpEdid = 2, All = 3 };

    static constexpr const char* kDefaultIp = "192.168.1.199";
    static constexpr const char* kDefaultMask = "255.255.255.0";
    static constexpr const char* kDefaultGateway = "192.168.1.1";
    static constexpr int kFade = 60;

    static void run(Kind kind);

private:
    // Stores the three network defaults when any of the address, mask or
    // gateway in use differs from its default.
    static void restoreNetwork();
    // The block part, inside one hold of c331_para_mutex.
    static void loadDefaults(Kind kind);
};
