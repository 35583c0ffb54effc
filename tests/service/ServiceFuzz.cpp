#include "ServiceFuzz.h"

#include "CameraModelTable.h"
#include "DeviceEventCheck.h"
#include "MemoryPeSource.h"
#include "PeHeaders.h"

#include <dbt.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <random>
#include <vector>

namespace vyx::service::test {

namespace {

using Random = std::mt19937;

std::uint32_t Pick(Random& random, std::uint32_t below) { return static_cast<std::uint32_t>(random() % below); }

void Fault(FuzzTally& tally, const std::string& what)
{
    if (tally.faults++ == 0) {
        tally.firstFault = what;
    }
}

std::string Hex(const void* data, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size && i < 64; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// --- device events -----------------------------------------------------------------

DWORD RandomEventType(Random& random)
{
    const DWORD types[] = {DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEQUERYREMOVE,
                           DBT_DEVICEREMOVEPENDING, DBT_CUSTOMEVENT, DBT_DEVNODES_CHANGED};
    return Pick(random, 8) == 0 ? static_cast<DWORD>(random()) : types[Pick(random, std::size(types))];
}

}  // namespace

FuzzTally FuzzDeviceEvents(std::uint32_t seed, std::size_t count)
{
    Random random(seed);
    FuzzTally tally;
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < count; ++i) {
        const DWORD type = RandomEventType(random);
        const bool noData = Pick(random, 16) == 0;
        // A buffer of any size from the bare header to a long device name; odd sizes too.
        data.assign(sizeof(DEV_BROADCAST_HDR) + Pick(random, 600), 0);
        for (std::uint8_t& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        DWORD size = static_cast<DWORD>(data.size());
        switch (Pick(random, 4)) {
        case 0: size = static_cast<DWORD>(random()); break;
        case 1: size = Pick(random, sizeof(DEV_BROADCAST_HDR) + 1); break;
        default: break;
        }
        DWORD deviceType = Pick(random, 3) == 0 ? static_cast<DWORD>(random()) : Pick(random, 8);
        std::memcpy(data.data(), &size, 4);
        std::memcpy(data.data() + 4, &deviceType, 4);
        // Handed over from an odd address as well: the handler must not assume alignment.
        const bool shifted = Pick(random, 4) == 0 && !noData;
        if (shifted) {
            data.insert(data.begin(), 0);
        }
        const void* pointer = noData ? nullptr : data.data() + (shifted ? 1 : 0);

        const DeviceEventVerdict verdict = JudgeDeviceEvent(type, pointer);
        ++tally.inputs;
        DWORD wantedResult = NO_ERROR;
        bool wantedCounted = false;
        if (type == DBT_DEVICEARRIVAL || type == DBT_DEVICEREMOVECOMPLETE) {
            if (noData) {
                wantedResult = ERROR_INVALID_PARAMETER;
            } else if (size < 12 || deviceType != DBT_DEVTYP_DEVICEINTERFACE) {
                wantedResult = ERROR_INVALID_DATA;
            } else {
                wantedCounted = true;
            }
        }
        if (verdict.result != wantedResult || verdict.counted != wantedCounted) {
            Fault(tally, "event type " + std::to_string(type) + " size " + std::to_string(size) + " device type " +
                             std::to_string(deviceType) + ": result " + std::to_string(verdict.result));
        }
        (verdict.counted ? tally.accepted : tally.refused) += 1;
    }
    return tally;
}

namespace {

// --- device instance IDs -------------------------------------------------------------

std::wstring RandomInstanceId(Random& random)
{
    std::wstring id = L"USB\\";
    const std::uint32_t start = Pick(random, 10);
    if (start < 7) {
        id += CameraModelTable::Row(Pick(random, kCameraModelCount)).hardwareId;
        const wchar_t* tails[] = {L"", L"\\SN0001", L"&MI_00\\7&1A2B&0&0000", L"\\", L"&", L"0", L"F\\x", L" "};
        id += tails[Pick(random, std::size(tails))];
    } else if (start < 9) {
        wchar_t other[32] = {};
        swprintf(other, 32, L"VID_%04X&PID_%04X\\S", Pick(random, 0x10000), Pick(random, 0x10000));
        id += other;
    } else {
        id.clear();
    }
    // Mutations: case flips, replaced, inserted and removed characters, cuts, odd characters.
    const std::uint32_t mutations = Pick(random, 4);
    for (std::uint32_t m = 0; m < mutations; ++m) {
        const std::size_t at = id.empty() ? 0 : Pick(random, static_cast<std::uint32_t>(id.size()));
        const wchar_t odd[] = {L'\0', L'\\', L'&', L'_', L'v', L'p', L'0', L'f', L'g', 0x00E9, 0x0131, 0xFFFF, 0xD800};
        const wchar_t c = Pick(random, 2) == 0 ? odd[Pick(random, std::size(odd))] : static_cast<wchar_t>(random());
        switch (Pick(random, 5)) {
        case 0:
            if (!id.empty()) {
                id[at] = static_cast<wchar_t>(std::iswupper(id[at]) ? std::towlower(id[at]) : std::towupper(id[at]));
            }
            break;
        case 1:
            if (!id.empty()) {
                id[at] = c;
            }
            break;
        case 2: id.insert(id.begin() + static_cast<std::ptrdiff_t>(at), c); break;
        case 3:
            if (!id.empty()) {
                id.erase(at, 1);
            }
            break;
        default: id.resize(at); break;
        }
    }
    return id;
}

// The matching rule as a look-up: the 17 characters after "USB\" name a row when the ID,
// upper-cased, starts with the vendor prefix and the hardware ID is followed by the end,
// "\" or "&".
int ExpectedRow(const wchar_t* id)
{
    static const std::map<std::wstring, int> rows = [] {
        std::map<std::wstring, int> map;
        for (std::size_t i = 0; i < kCameraModelCount; ++i) {
            map.emplace(CameraModelTable::Row(i).hardwareId, static_cast<int>(i));
        }
        return map;
    }();
    std::wstring upper(id);
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    const std::wstring prefix = catalogue::kVendorPrefix;
    if (upper.compare(0, prefix.size(), prefix) != 0 || upper.size() < 4 + 17) {
        return -1;
    }
    if (upper.size() > 21 && upper[21] != L'\\' && upper[21] != L'&') {
        return -1;
    }
    const auto row = rows.find(upper.substr(4, 17));
    return row == rows.end() ? -1 : row->second;
}

}  // namespace

FuzzTally FuzzInstanceIds(std::uint32_t seed, std::size_t count)
{
    Random random(seed);
    FuzzTally tally;
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring id = RandomInstanceId(random);
        // The system hands over a NUL-terminated string: an embedded NUL ends it.
        const wchar_t* text = id.c_str();
        const int row = FindCameraModelIndex(text);
        const bool vendor = IsVendorDeviceInstanceId(text);
        ++tally.inputs;
        const int wanted = ExpectedRow(text);
        if (row != wanted || (row >= 0 && !vendor)) {
            Fault(tally, "instance ID " + Hex(text, std::wcslen(text) * sizeof(wchar_t)) + ": row " +
                             std::to_string(row) + ", wanted " + std::to_string(wanted));
        }
        (row >= 0 ? tally.accepted : tally.refused) += 1;
    }
    if (FindCameraModelIndex(nullptr) != -1 || IsVendorDeviceInstanceId(nullptr)) {
        Fault(tally, "a null instance ID matched");
    }
    return tally;
}

namespace {

// --- PE headers ----------------------------------------------------------------------

std::vector<std::uint8_t> RandomImage(Random& random)
{
    const WORD machines[] = {IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_ARM64, 0};
    std::vector<std::uint8_t> image = MinimalPeImage(machines[Pick(random, std::size(machines))]);
    const std::uint32_t flips = Pick(random, 4);
    for (std::uint32_t f = 0; f < flips; ++f) {
        // Mostly inside the headers, where a flip matters.
        const std::size_t at = Pick(random, 3) == 0 ? Pick(random, static_cast<std::uint32_t>(image.size()))
                                                    : Pick(random, 0x98);
        image[at] = static_cast<std::uint8_t>(random());
    }
    if (Pick(random, 4) == 0) {
        LONG offset = 0;
        switch (Pick(random, 4)) {
        case 0: offset = static_cast<LONG>(random()); break;
        case 1: offset = static_cast<LONG>(Pick(random, 600)) - 50; break;
        case 2: offset = static_cast<LONG>(image.size()) - static_cast<LONG>(Pick(random, 30)); break;
        default: offset = static_cast<LONG>(Pick(random, 64)); break;
        }
        std::memcpy(&image[60], &offset, 4);
    }
    if (Pick(random, 4) == 0) {
        image.resize(Pick(random, static_cast<std::uint32_t>(image.size()) + 1));
    }
    return image;
}

DWORD ExpectedValidation(const std::vector<std::uint8_t>& image, WORD machine)
{
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') {
        return ERROR_BAD_EXE_FORMAT;
    }
    LONG offset = 0;
    std::memcpy(&offset, &image[60], 4);
    if (offset <= 0 || static_cast<std::uint64_t>(offset) + 24 > image.size()) {
        return ERROR_BAD_EXE_FORMAT;
    }
    const std::uint8_t* pe = &image[static_cast<std::size_t>(offset)];
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return ERROR_BAD_EXE_FORMAT;
    }
    const WORD found = static_cast<WORD>(pe[4] | (pe[5] << 8));
    return found == machine ? ERROR_SUCCESS : ERROR_EXE_MACHINE_TYPE_MISMATCH;
}

}  // namespace

FuzzTally FuzzPeHeaders(std::uint32_t seed, std::size_t count)
{
    Random random(seed);
    FuzzTally tally;
    for (std::size_t i = 0; i < count; ++i) {
        const std::vector<std::uint8_t> image = RandomImage(random);
        const WORD machine = Pick(random, 2) == 0 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
        MemoryPeSource source(image);
        const DWORD result = ValidatePeHeaders(source, machine);
        ++tally.inputs;
        const DWORD wanted = ExpectedValidation(image, machine);
        if (result != wanted) {
            Fault(tally, "image " + Hex(image.data(), image.size()) + ": result " + std::to_string(result) +
                             ", wanted " + std::to_string(wanted));
        }
        (result == ERROR_SUCCESS ? tally.accepted : tally.refused) += 1;
    }
    return tally;
}

}  // namespace vyx::service::test
