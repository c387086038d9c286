#include "inputs/tarvo_it6602.h"

// The receiver driver proper replaces these bodies; until then no IT6602 is
// identified, so every input stays in stage 0 with no signal.

int tarvo_it6602::IT6602_fsm_init(int input)
{
    (void)input;
    return 0;
}

int tarvo_it6602::IT6602_fsm_init_1(int input)
{
    (void)input;
    return 0;
}

void tarvo_it6602::IT6602_fsm(int input) { (void)input; }

void tarvo_it6602::IT6602HPDCtrl(uint8_t port, uint8_t level)
{
    (void)port;
    if (level == 0)
        ++hpdLowCount;
}

void tarvo_it6602::delay1ms(unsigned ms) { (void)ms; }

tarvo_it6602::VideoRecord tarvo_it6602::video(int input) const
{
    (void)input;
    return VideoRecord{};
}
