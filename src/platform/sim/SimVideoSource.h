#pragma once
#include "platform/sim/SimVideoTiming.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

namespace kel::platform::sim {

class SimBoard;

// What is plugged into one input of the simulated board: nothing, or a
// source with a timing, a colour format, range and colorimetry, an HDMI or
// DVI link and optional audio. A source may "follow EDID": on each rise of
// the input's hot-plug line it reads the input's EEPROM and sends the first
// detailed timing found there (VIC 16 when there is none).
//
// The receiver models ask it what arrives at their pins: +5 V while a cable
// is in, TMDS only while the receiver holds hot-plug high. Every change a
// receiver must notice (plug, unplug, a new timing or format) moves the
// generation number on.
//
// board.ini, group [input_board], for input k:
//   source<k>             = none | vic:<n> | dmt:<id> | edid | custom:<pclk kHz>,<hact>,<hfp>,<hs>,<hbp>,
//                           <vact>,<vfp>,<vs>,<vbp>[,i][,+h][,+v]
//   source<k>_color       = rgb | yuv422 | yuv444 | yuv420
//   source<k>_range       = default | limited | full
//   source<k>_colorimetry = none | bt601 | bt709 | bt2020
//   source<k>_depth       = 8 | 10 | 12   (bits per component)
//   source<k>_link        = hdmi | dvi
//   source<k>_audio       = none | <fs Hz>/<channels>   (e.g. 48000/2)
class SimVideoSource {
public:
    enum class Kind : uint8_t { None, Timing, FollowEdid };
    // Values as the AVI InfoFrame codes them (Y1Y0, Q1Q0, C1C0).
    enum class ColorFormat : uint8_t { Rgb = 0, Yuv422 = 1, Yuv444 = 2, Yuv420 = 3 };
    enum class Range : uint8_t { Default = 0, Limited = 1, Full = 2 };
    // Extended: the AVI InfoFrame's extended colorimetry (EC2:EC0) applies.
    enum class Colorimetry : uint8_t { None = 0, Bt601 = 1, Bt709 = 2, Extended = 3 };
    enum class Link : uint8_t { Hdmi, Dvi };

    struct Audio {
        uint32_t fs = 48000;  // sample rate in Hz, 0 = no audio
        uint8_t channels = 2;
        bool present() const { return fs > 0 && channels > 0; }
        // HDMI audio clock regeneration: the recommended N for the rate,
        // and CTS = f_TMDS x N / (128 x fs).
        uint32_t n() const;
        uint32_t cts(uint32_t tmdsKHz) const;
        // IEC 60958-3 sampling-frequency code (channel status bits 24..27).
        uint8_t rateCode() const;
    };

    struct Output {
        Kind kind = Kind::None;
        SimVideoTiming timing;  // for FollowEdid: what the last hot-plug rise chose
        ColorFormat color = ColorFormat::Rgb;
        Range range = Range::Default;
        Colorimetry colorimetry = Colorimetry::None;
        uint8_t extendedColorimetry = 0;  // EC2:EC0, 6 = BT.2020 YCbCr
        uint8_t bitsPerComponent = 8;
        Link link = Link::Hdmi;
        Audio audio;

        bool plugged() const { return kind != Kind::None; }
        bool hdmi() const { return link == Link::Hdmi; }
        // TMDS character rate: the pixel clock scaled by the colour depth,
        // halved for YUV 4:2:0.
        uint32_t tmdsKHz() const;
        // HDMI 2.0: above 340 MHz the link runs at the 1/40 clock ratio,
        // scrambled.
        bool hdmi2() const { return hdmi() && tmdsKHz() > 340000; }
    };

    using EdidReader = std::function<std::array<uint8_t, 256>()>;

    // Parses the source<k> value (and only it) into `out`; false on text
    // that names nothing known.
    static bool parse(const QString& text, Output* out);
    // The whole source<k>* group of the scenario, with defaults (and
    // comments) added to board.ini for missing keys.
    static Output fromScenario(SimBoard& board, int input, const QString& defaultSource);

    void setEdidReader(EdidReader reader);

    // Back doors: plug a source (replacing any), or pull the cable.
    void plug(const Output& output);
    void unplug();

    // The receiver's side: its hot-plug line. A rise makes a source that
    // follows the EDID read the EEPROM and pick its timing.
    void setHotPlug(bool high);
    bool hotPlug() const;
    // +5 V from the cable.
    bool plus5v() const;
    // TMDS sent: plugged and hot-plug high.
    bool sending() const;
    Output output() const;
    unsigned generation() const;

    QJsonObject state() const;

private:
    void followEdid();

    mutable std::mutex lock_;
    Output output_;
    bool hotPlug_ = false;
    unsigned generation_ = 0;
    EdidReader edid_;
};

} // namespace kel::platform::sim
