#include "PageLanguage.h"

namespace vyx {

bool UsesChinesePages() {
    return GetUserDefaultLangID() == MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
}

}  // namespace vyx
