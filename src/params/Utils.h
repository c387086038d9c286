#pragma once
#include <QMutex>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

// Static helpers every subsystem uses: check bytes and CRCs, text
// conversion, the shell runner, the tick arithmetic, file tests, raw MTD
// erase/write, the wired network port, and the process-wide locks.
class Utils {
public:
    Utils() = default;

    // ---- check bytes and CRCs ----
    static uint8_t BCC(const uint8_t* data, uint32_t length);
    static uint16_t calcCRC16(const uint8_t* data, uint32_t length);      // CRC-16/ARC
    static uint16_t cardCalcCRC16(const uint8_t* data, uint32_t length);  // CRC-16/MCRF4XX
    static uint16_t jtc1CRC16Code(const uint8_t* data, uint32_t length);  // CRC-16/XMODEM
    static uint32_t calcCRC32(const uint8_t* data, uint32_t length);      // init 0, no final XOR

    // ---- texts and numbers ----
    static uint32_t stringToInt(const std::string& text);
    static std::string upper(const std::string& text);
    static std::string intToString(int value);

    // iconv's result, or -1 when the pair of code sets cannot be opened or
    // the input is invalid. in/out lengths are updated as iconv does.
    static int64_t ChangeCode(const char* from, const char* to, const char* in, size_t* inLength,
                              char* out, size_t* outLength);
    // In-place conversions; on failure (-1) the text is left unchanged.
    static int64_t GB2312ToUTF8(std::string& text);
    static int64_t GB2312ToUnicode(std::string& text);
    static int64_t UTF8ToUnicode(std::string& text);
    static int64_t UnicodeToUTF8(std::string& text);
    static int64_t UTF8ToGB2312(std::string& text);
    static int64_t UnicodeToGB2312(std::string& text);

    // ---- commands and sleeps ----
    // 0 when the command's status was 0, else 255; the raw status is stored
    // through status when given. No lock is held while the command runs.
    static int system_mutex(const QString& command, int* status = nullptr);
    // Everything the command printed.
    static std::string shell_exec(const std::string& command, uint32_t line_size);
    static int usleep_mutex(uint32_t us);
    static int msleep_mutex(uint32_t ms);

    // Ticks of G_timeTicks elapsed since stamp.
    static uint32_t getTimeSpace(uint32_t stamp);

    // ---- files ----
    static int isFileExists(const std::string& path, bool regular);
    static int isDirExists(const std::string& path);
    // Appends the logical paths of the plain files of folder with suffix.
    static void get_file_list_smartpath(QStringList& list, const QString& folder, const QString& suffix);
    // Line ends to LF and the UTF-8 byte-order mark removed; -1 if missing.
    static int change_file_formt(const std::string& path);

    // ---- MTD flash on a caller-owned descriptor ----
    static int non_region_erase(int fd, int offset, int length, int unlock);     // 0 done, 8 failed
    static int non_region_write(int fd, const uint8_t* data, uint32_t length, int offset); // 0/1

    // ---- network ----
    // Loads the configuration items into the globals; returns 0.
    static int getIPAddress();
    static int initIPAddress();
    static int init_resteth(const QString& ip, const QString& gateway, const QString& mask);
    // True for a dotted-quad IPv4 address (four numbers 0-255).
    static bool isIPv4Address(const QString& address);

    // ---- process-wide locks (non-recursive) ----
    // Each guards data and is never held across a wait (docs/ledout-fpga.md
    // lists those the links and the GUI thread take).
    static QMutex _spi_mutex;
    static QMutex _c331_bnk_mutex;
    static QMutex _fpga_multicast_mutex;
    static QMutex _bri_set_mutex;
    static QMutex _led_para_init_mutex;
    static QMutex _file_deal_mutex;
    static QMutex _source_init_mutex;
    static QMutex _source_hdminfo_mutex;
    static QMutex _check_nosig_mutex;
    static QMutex _test_signal_mutex;
    static QMutex _usleep_mutex;
    static QMutex _system_mutex;
    // The configuration globals (g_str_ip and its neighbours, the TCP port,
    // the cloud account, g_check_edid, g_check_source, g_lcd_lang_valid):
    // any link thread may reload or change them while others read them, so
    // every read and write goes through this lock (a QString must not be
    // assigned and copied at once from two threads). A std::mutex, so that
    // ThreadSanitizer sees it.
    static std::mutex _config_mutex;
    template <class T>
    static T configValue(const T& global)
    {
        std::lock_guard<std::mutex> l(_config_mutex);
        return global;
    }
    template <class T, class V>
    static void setConfigValue(T& global, const V& value)
    {
        std::lock_guard<std::mutex> l(_config_mutex);
        global = value;
    }
};

// The logging hook every subsystem calls; it records nothing.
void writeLogMsg(int type, const std::string& text);
void writeLogMsg(int type, const QString& text);
