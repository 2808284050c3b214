#pragma once
// The virtual bench: a simulated noise source, attenuators, DUT, receiver
// and sound card.
class Bench
{
public:
};
