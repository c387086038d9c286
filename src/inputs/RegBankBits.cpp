#include "inputs/RegBankBits.h"

#include "params/KelRamPara.h"
#include "params/RamLayout.h"

uint8_t* RegBankBits::reg(int index)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store || index < 0 || static_cast<size_t>(index) >= RamLayout::kRegBankSize)
        return nullptr;
    return &store->LocalRegBank[index];
}

uint8_t RegBankBits::load(int index)
{
    uint8_t* r = reg(index);
    return r ? __atomic_load_n(r, __ATOMIC_SEQ_CST) : 0;
}

void RegBankBits::store(int index, uint8_t value)
{
    if (uint8_t* r = reg(index))
        __atomic_store_n(r, value, __ATOMIC_SEQ_CST);
}

uint8_t RegBankBits::take(int index)
{
    uint8_t* r = reg(index);
    return r ? __atomic_exchange_n(r, static_cast<uint8_t>(0), __ATOMIC_SEQ_CST) : 0;
}

void RegBankBits::set(int index, uint8_t mask)
{
    if (uint8_t* r = reg(index))
        __atomic_fetch_or(r, mask, __ATOMIC_SEQ_CST);
}

void RegBankBits::clear(int index, uint8_t mask)
{
    if (uint8_t* r = reg(index))
        __atomic_fetch_and(r, static_cast<uint8_t>(~mask), __ATOMIC_SEQ_CST);
}

void RegBankBits::update(int index, uint8_t mask, bool on)
{
    if (on)
        set(index, mask);
    else
        clear(index, mask);
}
