// What nearly every source of the product includes, compiled once per tree: windows.h alone
// brings every x86 intrinsics header with it, and with DirectShow's and the standard
// library's headers it is some 200,000 lines, most of a source's compile time.
// Only system headers belong here, and none that changes the sources that do not include
// it: initguid.h and usbiodef.h define what they declare, and dshow.h brings strsafe.h,
// which renames the C library's printf family.
#include <windows.h>
#include <commctrl.h>
#include <strmif.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>
