#include "platform/sim/SimVideoSource.h"

#include "platform/sim/SimBoard.h"

#include <QStringList>

namespace kel::platform::sim {
namespace {

struct RateRow {
    uint32_t fs;
    uint32_t n;
    uint8_t code;
};

// Recommended N per sample rate (HDMI audio clock regeneration) and the
// IEC 60958-3 sampling-frequency code.
const RateRow kRates[] = {
    {32000, 4096, 0x3},   {44100, 6272, 0x0},   {48000, 6144, 0x2},    {88200, 12544, 0x8},
    {96000, 12288, 0xA},  {176400, 25088, 0xC}, {192000, 24576, 0xE},
};

const RateRow* rateRow(uint32_t fs)
{
    for (const RateRow& r : kRates)
        if (r.fs == fs)
            return &r;
    return nullptr;
}

// A value out of a fixed set of names; `fallback` when unknown.
template <typename E>
E named(const QString& text, std::initializer_list<std::pair<const char*, E>> names, E fallback)
{
    for (const auto& [name, value] : names)
        if (text.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return value;
    return fallback;
}

SimVideoTiming fallbackTiming()
{
    SimVideoTiming t;
    SimVideoTiming::cta(16, &t);
    return t;
}

} // namespace

uint32_t SimVideoSource::Audio::n() const
{
    const RateRow* r = rateRow(fs);
    return r ? r->n : 128 * fs / 1000;
}

uint32_t SimVideoSource::Audio::cts(uint32_t tmdsKHz) const
{
    if (!present())
        return 0;
    return static_cast<uint32_t>(uint64_t(tmdsKHz) * 1000 * n() / (128ull * fs));
}

uint8_t SimVideoSource::Audio::rateCode() const
{
    const RateRow* r = rateRow(fs);
    return r ? r->code : 0x1;  // "not indicated"
}

uint32_t SimVideoSource::Output::tmdsKHz() const
{
    const uint64_t rate = uint64_t(timing.pclkKHz) * bitsPerComponent / 8;
    return static_cast<uint32_t>(color == ColorFormat::Yuv420 ? rate / 2 : rate);
}

bool SimVideoSource::parse(const QString& text, Output* out)
{
    const QString t = text.trimmed();
    const int colon = t.indexOf(':');
    const QString kind = (colon < 0 ? t : t.left(colon)).toLower();
    const QString arg = colon < 0 ? QString() : t.mid(colon + 1);
    bool ok = true;
    if (kind == "none" || kind.isEmpty()) {
        out->kind = Kind::None;
    } else if (kind == "edid") {
        out->kind = Kind::FollowEdid;
        out->timing = fallbackTiming();
    } else if (kind == "vic") {
        ok = SimVideoTiming::cta(arg.toInt(&ok), &out->timing) && ok;
        out->kind = Kind::Timing;
    } else if (kind == "dmt") {
        ok = SimVideoTiming::dmt(arg.toInt(&ok, 0), &out->timing) && ok;
        out->kind = Kind::Timing;
    } else if (kind == "custom") {
        ok = SimVideoTiming::custom(arg, &out->timing);
        out->kind = Kind::Timing;
    } else {
        ok = false;
    }
    if (!ok)
        out->kind = Kind::None;
    return ok;
}

SimVideoSource::Output SimVideoSource::fromScenario(SimBoard& board, int input, const QString& defaultSource)
{
    const QString key = QStringLiteral("input_board/source%1").arg(input);
    Output s;
    parse(board.scenario(key, defaultSource,
                         "none | vic:<n> | dmt:<id> | edid | custom:<pclk kHz>,<hact>,<hfp>,<hs>,<hbp>,<vact>,"
                         "<vfp>,<vs>,<vbp>[,i][,+h][,+v]")
              .toString(),
          &s);
    s.color = named<ColorFormat>(board.scenario(key + "_color", "rgb", "rgb | yuv422 | yuv444 | yuv420").toString(),
                                 {{"rgb", ColorFormat::Rgb}, {"yuv422", ColorFormat::Yuv422},
                                  {"yuv444", ColorFormat::Yuv444}, {"yuv420", ColorFormat::Yuv420}},
                                 ColorFormat::Rgb);
    s.range = named<Range>(board.scenario(key + "_range", "default", "default | limited | full").toString(),
                           {{"default", Range::Default}, {"limited", Range::Limited}, {"full", Range::Full}},
                           Range::Default);
    s.colorimetry = named<Colorimetry>(
        board.scenario(key + "_colorimetry", "none", "none | bt601 | bt709 | bt2020").toString(),
        {{"none", Colorimetry::None}, {"bt601", Colorimetry::Bt601}, {"bt709", Colorimetry::Bt709},
         {"bt2020", Colorimetry::Extended}},
        Colorimetry::None);
    if (s.colorimetry == Colorimetry::Extended)
        s.extendedColorimetry = 6;
    const uint32_t depth = board.scenario(key + "_depth", 8, "bits per component: 8 | 10 | 12").toUInt();
    s.bitsPerComponent = depth == 10 || depth == 12 ? static_cast<uint8_t>(depth) : 8;
    s.link = named<Link>(board.scenario(key + "_link", "hdmi", "hdmi | dvi").toString(),
                         {{"hdmi", Link::Hdmi}, {"dvi", Link::Dvi}}, Link::Hdmi);
    const QStringList audio =
        board.scenario(key + "_audio", "48000/2", "none | <fs Hz>/<channels>").toString().split('/');
    s.audio.fs = audio.size() == 2 ? audio[0].trimmed().toUInt() : 0;
    s.audio.channels = audio.size() == 2 ? static_cast<uint8_t>(qBound(0u, audio[1].trimmed().toUInt(), 8u)) : 0;
    return s;
}

void SimVideoSource::setEdidReader(EdidReader reader)
{
    std::lock_guard<std::mutex> l(lock_);
    edid_ = std::move(reader);
}

void SimVideoSource::plug(const Output& output)
{
    std::lock_guard<std::mutex> l(lock_);
    output_ = output;
    if (output_.kind == Kind::FollowEdid && hotPlug_)
        followEdid();
    ++generation_;
}

void SimVideoSource::unplug()
{
    std::lock_guard<std::mutex> l(lock_);
    output_.kind = Kind::None;
    ++generation_;
}

void SimVideoSource::setHotPlug(bool high)
{
    std::lock_guard<std::mutex> l(lock_);
    if (high == hotPlug_)
        return;
    hotPlug_ = high;
    if (high && output_.kind == Kind::FollowEdid) {
        followEdid();
        ++generation_;
    }
}

void SimVideoSource::followEdid()
{
    SimVideoTiming t;
    if (edid_) {
        const std::array<uint8_t, 256> image = edid_();
        if (SimVideoTiming::firstDtd(image.data(), &t)) {
            output_.timing = t;
            return;
        }
    }
    output_.timing = fallbackTiming();
}

bool SimVideoSource::hotPlug() const
{
    std::lock_guard<std::mutex> l(lock_);
    return hotPlug_;
}

bool SimVideoSource::plus5v() const
{
    std::lock_guard<std::mutex> l(lock_);
    return output_.plugged();
}

bool SimVideoSource::sending() const
{
    std::lock_guard<std::mutex> l(lock_);
    return output_.plugged() && hotPlug_;
}

SimVideoSource::Output SimVideoSource::output() const
{
    std::lock_guard<std::mutex> l(lock_);
    return output_;
}

unsigned SimVideoSource::generation() const
{
    std::lock_guard<std::mutex> l(lock_);
    return generation_;
}

QJsonObject SimVideoSource::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject o;
    static const char* const kinds[] = {"none", "timing", "edid"};
    o.insert("kind", kinds[static_cast<int>(output_.kind)]);
    o.insert("hotplug", hotPlug_);
    if (output_.plugged()) {
        o.insert("timing", output_.timing.text());
        o.insert("vic", output_.timing.vic);
        static const char* const colors[] = {"rgb", "yuv422", "yuv444", "yuv420"};
        o.insert("color", colors[static_cast<int>(output_.color) & 3]);
        o.insert("link", output_.hdmi() ? "hdmi" : "dvi");
        o.insert("hdmi2", output_.hdmi2());
        o.insert("audio_fs", static_cast<int>(output_.audio.fs));
    }
    return o;
}

} // namespace kel::platform::sim
