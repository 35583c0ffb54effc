#include "DllEntry.h"

HINSTANCE g_hInst = nullptr;
