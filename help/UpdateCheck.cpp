#include "help/UpdateCheck.h"
