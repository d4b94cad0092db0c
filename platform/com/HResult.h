#pragma once
#include "platform/base/HResult.h"  // moved below platform/os; this path stays for older includes
