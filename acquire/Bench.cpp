#include "acquire/Bench.h"
