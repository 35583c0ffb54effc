#pragma once
// Which of its two dialogs and titles a page is built with.
#include <windows.h>

namespace vyx {

// Chinese exactly for the user default language Chinese (PRC), 0x0804; English otherwise,
// Chinese (Taiwan) 0x0404 included.
bool UsesChinesePages();

}  // namespace vyx
