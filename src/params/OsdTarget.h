#pragma once
#include <cstdint>

// What the OSD programming needs of the scaler manager: the chip's OSD
// state setters and the per-line counters it reads for alignment. The
// scaler manager implements it; tests use a recorder.
class OsdTarget {
public:
    static constexpr int kMaxLines = 64;
    static constexpr int kLineChars = 128;

    virtual ~OsdTarget() = default;

    // Sets one property of the OSD state by type code; 1 done, 0 unknown.
    virtual int kelApi_OsdSet(int type, int value) = 0;
    // count lines (1..64), each lengths[i] characters of lines[i].
    virtual int kelApi_OsdSetUnicode(int count, int lengths[], uint32_t lines[][kLineChars]) = 0;
    // Resets the character and font layout words.
    virtual void load_char() = 0;

    // Filled by set_OSD_para before the alignment calls.
    int osd_line_num[kMaxLines] = {};
    int osd_line_en[kMaxLines] = {};
    int osd_line_cn[kMaxLines] = {};
    int g_osd_max_line_x_tarvo[kMaxLines] = {};
    int g_osd_h_alignment_tarvo = 0;
    int g_osd_v_alignment_value_tarvo = 0;

    // The one target set_OSD_para programs (the scaler manager installs
    // itself; null until then).
    static void install(OsdTarget* target);
    static OsdTarget* installed();
};
