#pragma once
#include <QJsonObject>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace kel::platform::sim {

// The chain of receiving cards on one output port of the simulated FPGA.
// It takes the frames the FPGA sends out of the port and gives back the
// cards' answers: target and source exchanged (the source is the card
// number with the port bits), head bytes copied, the command, status 0,
// the payload and the XOR byte. Card number = target & 0x0FFF: 0x0FFF
// addresses every card (one answer), 0x0FFE searches and register resets
// (one answer), a card the chain does not hold does not answer. A frame
// shorter than its command's layout is treated as a bad frame: no card
// takes it or answers it. What the cards keep is bounded: the first
// kMemoryKept byte addresses written and the last kUserFramesKept other
// frames of each card.
class SimCardChain {
public:
    using Bytes = std::vector<uint8_t>;
    static constexpr uint32_t kSensorAddr = 0x02000000;
    static constexpr uint32_t kPositionAddr = 0x180;
    static constexpr size_t kMemoryKept = 16 * 1024;
    static constexpr size_t kUserFramesKept = 256;
    static constexpr uint32_t kPowerFlagAddr = 0;   // RAM byte with the power flag

    struct Knobs {
        int cards = 0;
        bool unlinked = false;      // no link even with cards (a port with no cards has none)
        bool drop = false;          // cards stay silent
        bool badCheck = false;      // answers carry a wrong XOR byte
        bool wrongTag = false;      // answers carry another tag
        uint8_t status = 0;         // status byte of every answer
        int delayPolls = 0;         // status polls before an answer shows
        bool zeroPortByte = false;  // answers carry port byte 0
        bool allAnswer = false;     // every card answers a request to all cards
        uint8_t portStatus = 1;     // status byte of a search answer
        uint8_t recoveryCard = 0xFF;
        uint32_t configId = 0;      // search value A answered; 0 echoes the request's
        int truncate = 0;           // answers cut to this many bytes (0: whole)
        uint8_t powerFlag = 0;      // read at kPowerFlagAddr of a card not written there
    };
    struct Card {
        std::map<uint32_t, uint8_t> memory;   // 0x60 writes
        std::array<uint8_t, 256> regs{};      // 0xA0 masked writes
        std::array<uint8_t, 128> sensor{};    // read at 0x02000000
        int saves = 0;                        // 0x81
        int firmwareActivations = 0;          // 0xB4
        int reconfigurations = 0;             // 0x84
        int sensorReads = 0;
        std::vector<Bytes> userFrames;        // other commands, the last kUserFramesKept
        int userFrameCount = 0;
        uint16_t u16(uint32_t addr) const;
    };
    struct Answer {
        Bytes bytes;
        int delayPolls = 0;
    };

    explicit SimCardChain(int port);

    // Parses a board.ini value: "count[,knob...]" with knobs drop,
    // bad_check, wrong_tag, zero_port_byte, all_answer, unlinked,
    // status=N, delay=N, port_status=N, recovery=N, config=N, truncate=N,
    // power=N.
    static Knobs parse(const QString& text);

    Knobs knobs() const;
    void setKnobs(const Knobs& k);
    bool linked() const;
    std::vector<Answer> receive(const Bytes& frame);
    Card card(int index) const;
    std::vector<Bytes> received() const;
    void clearReceived();
    // One card of the chain stays silent, or answers after extra polls,
    // while the others answer as the knobs say.
    void setCardSilent(int index, bool silent);
    void setCardDelay(int index, int polls);
    int searches() const;
    QJsonObject state() const;

private:
    static size_t layoutLength(const Bytes& f);
    void apply(Card& card, const Bytes& f);
    Bytes answer(const Bytes& request, uint16_t card, const Bytes& payload) const;
    Bytes payloadFor(Card& card, const Bytes& f) const;
    Bytes searchPayload(const Bytes& f) const;

    const int port_;
    mutable std::mutex lock_;
    Knobs knobs_;
    std::vector<Card> cards_;
    std::vector<Bytes> received_;
    int searches_ = 0;
    std::map<int, bool> silentCards_;
    std::map<int, int> cardDelays_;
};

} // namespace kel::platform::sim
