// The scaler manager's connection to the rest of the system, kept apart
// from the manager itself so that it can be built and tested on its peers.
#include "inputs/tarvosource.h"
#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/OsdMenu.h"
#include "params/Utils.h"
#include "video/c331_manage.h"

#include <QMutexLocker>

namespace {

c331_peers systemPeers()
{
    KelRamPara* store = KelRamPara::pInstance();
    ApplyGate& gate = ApplyGate::instance();
    c331_peers p;
    p.paraMutex = &gate.c331_para_mutex;
    p.applyFlag = &gate.c331_apply_flag;
    p.block = store->RamBlock;
    p.regBank = store->LocalRegBank;
    p.testSignal = [store](int reason) { store->test_signal(reason); };
    p.readInput = [](int k, SourceHdmiInfo& info) {
        tarvosource* src = tarvosource::p_tarvo_source;
        if (!src)
            return false;
        QMutexLocker l(&Utils::_source_hdminfo_mutex);
        info = src->hdminfo[k];
        return true;
    };
    p.restartInput = [](int k) {
        if (tarvosource::p_tarvo_source)
            tarvosource::p_tarvo_source->request_restart(k);
    };
    p.edidUploadPending = [](int k) {
        return tarvosource::p_tarvo_source && tarvosource::p_tarvo_source->edid_ram_table_from[k].load() != 0;
    };
    p.requestAudioRoute = [] {
        if (tarvosource::p_tarvo_source)
            tarvosource::p_tarvo_source->audio_route_request = 1;
    };
    p.reloadOsdMenu = [] {
        get_json_omenu_para("/data/configs/omenu.json", &g_osd_list);
        set_OSD_para(&g_osd_list.item[0]);
    };
    // The FPGA manager's hooks (brightness and output requests, the LED-size
    // hand-over word and the GPIO chip selects) are connected by main once
    // it exists; until then the driver stores the selects itself.
    return p;
}

} // namespace

c331_manage* c331_manage::pInstance()
{
    if (p_c331_manage)
        return p_c331_manage;
    p_c331_manage = new c331_manage(systemPeers());
    OsdTarget::install(p_c331_manage);
    p_c331_manage->openDevice();
    p_c331_manage->start();
    return p_c331_manage;
}
