// The scaler manager's connection to the rest of the system, kept apart
// from the manager itself so that it can be built and tested on its peers.
#include "inputs/tarvosource.h"
#include "ledout/LedGlobals.h"
#include "ledout/LedSize.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
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
    p.requestFpgaBrightness = [] {
        QMutexLocker l(&Utils::_bri_set_mutex);
        if (fpga_manage::p_fpga_manage)
            fpga_manage::p_fpga_manage->fpga_bri_req = 1;
    };
    p.requestFpgaOutput = [] {
        if (fpga_manage::p_fpga_manage)
            fpga_manage::p_fpga_manage->fpga_output_req = 1;
    };
    p.ledParaState = [] { return g_set_led_para.load(); };
    p.panelProgrammed = [store] { LedSize::noteProgrammed(store->RamBlock); };
    p.ledParaReprogrammed = [] {
        QMutexLocker l(&Utils::_led_para_init_mutex);
        g_set_led_para = 2;
    };
    // The bus is shared with the FPGAs: their selects go high through the
    // FPGA manager's GPIO words, or through the driver's own window while
    // those are not mapped (the FPGA manager failed to start).
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (fpga && fpga->gpio.gpio_fpga0_cs.bound() && fpga->gpio.gpio_fpga1_cs.bound()) {
        p.fpgaDeselect = [fpga] {
            fpga->gpio.gpio_fpga0_cs.high();
            fpga->gpio.gpio_fpga1_cs.high();
        };
    }
    return p;
}

} // namespace

void c331_manage::install_upgrade_services()
{
    UpgradeServices& u = UpgradeServices::instance();
    u.scalerErase = [](int sector, int count, char kind) {
        c331_manage* c = c331_manage::p_c331_manage;
        return c ? c->erase_flash(c->c331_dev_index, sector, count, kind) : -1;
    };
    u.scalerWrite = [](int addr, int len, char* buf) {
        c331_manage* c = c331_manage::p_c331_manage;
        return c ? c->write_flash(c->c331_dev_index, addr, len, buf) : -1;
    };
    u.scalerReadFonts = [] {
        c331_manage* c = c331_manage::p_c331_manage;
        return c ? c->read_c331_font(c->c331_dev_index) : -1;
    };
    u.scalerUpdateFonts = [] {
        c331_manage* c = c331_manage::p_c331_manage;
        return c ? c->update_font(c->c331_dev_index) : -1;
    };
}

c331_manage* c331_manage::pInstance()
{
    if (p_c331_manage)
        return p_c331_manage;
    p_c331_manage = new c331_manage(systemPeers());
    OsdTarget::install(p_c331_manage);
    install_upgrade_services();
    p_c331_manage->openDevice();
    p_c331_manage->start();
    return p_c331_manage;
}
