#include "ledout/FpgaInputState.h"

#include <mutex>

namespace {
std::mutex g_lock;
FpgaInputState::Reader g_reader;
} // namespace

void FpgaInputState::setChipStateReader(Reader reader)
{
    std::lock_guard<std::mutex> l(g_lock);
    g_reader = std::move(reader);
}

bool FpgaInputState::present()
{
    std::lock_guard<std::mutex> l(g_lock);
    return bool(g_reader);
}

uint8_t FpgaInputState::chipState()
{
    Reader r;
    {
        std::lock_guard<std::mutex> l(g_lock);
        r = g_reader;
    }
    return r ? r() : 0;
}
