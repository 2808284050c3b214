#include "calc/Nmuc.h"
