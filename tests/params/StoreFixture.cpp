#include "StoreFixture.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/PageRegistry.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace kel::test {

void StoreFixture::SetUp()
{
    SimRootFixture::SetUp();
    g_lcd_lang_valid = 0x1001F;
    g_language = 0;
    g_page_focus = 0;
    g_image_current = 0;
    g_kel_keys = 0;
    g_update_flag = 0;
    ApplyGate::instance().c331_apply_flag = 0;
    PageRegistry::instance().clear();
    store_ = std::make_unique<KelRamPara>();
    KelRamPara::p_kelrampara_config = store_.get();
}

void StoreFixture::TearDown()
{
    KelRamPara::p_kelrampara_config = nullptr;
    store_.reset();
    PageRegistry::instance().clear();
    SimRootFixture::TearDown();
}

KelRamPara& StoreFixture::start()
{
    store_->load();
    return *store_;
}

std::vector<uint8_t> StoreFixture::readFile(const std::string& logical) const
{
    std::ifstream in(hostPath(logical), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void StoreFixture::writeFile(const std::string& logical, const std::vector<uint8_t>& bytes) const
{
    std::ofstream out(hostPath(logical), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void StoreFixture::writeText(const std::string& logical, const std::string& text) const
{
    writeFile(logical, std::vector<uint8_t>(text.begin(), text.end()));
}

bool StoreFixture::fileExists(const std::string& logical) const
{
    struct stat st;
    return ::stat(hostPath(logical).c_str(), &st) == 0;
}

std::vector<std::string> StoreFixture::commands() const
{
    return const_cast<StoreFixture*>(this)->board().commands().commands();
}

void StoreFixture::clearCommands() { board().commands().clear(); }

} // namespace kel::test
