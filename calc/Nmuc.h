#pragma once
// Uncertainty calculator: chi-square statistics of a noise power reading.
class Nmuc
{
public:
};
