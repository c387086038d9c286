#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The MD5 message digest (RFC 1321) over bytes fed in pieces. digest() does
// not end the message: a later update() continues it.
class MD5 {
public:
    MD5();
    MD5(const void* input, size_t length);

    void reset();
    void update(const void* input, size_t length);
    void update(const unsigned char* input, size_t length);
    // The 16 digest bytes of everything fed since reset(), owned by the object.
    const unsigned char* digest();
    // 32 lower-case hexadecimal characters.
    std::string toString();
    static std::string bytesToHexString(const unsigned char* bytes, size_t length);

private:
    void transform(const unsigned char block[64]);
    static void encode(const uint32_t* input, unsigned char* output, size_t length);
    static void decode(const unsigned char* input, uint32_t* output, size_t length);
    void final();

    uint32_t state[4];
    uint32_t count[2];  // bits fed, low word first
    unsigned char buffer[64];
    unsigned char result[16];
    bool finished;

    static const unsigned char PADDING[64];
    static const char HEX[16];
};

// The one digest object of the file transfers between the PC tool and the
// device.
extern MD5 g_md5;
