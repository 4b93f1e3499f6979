// A setupapi.dll of our own that Wine loads in place of its own for the
// discovery test (a DLL override, and this file beside the test program): it
// answers the five SetupAPI calls of discovery from a staged device set,
// checks the structure sizes the caller passes as SetupAPI itself does, and
// logs every call with its arguments.
#define _SETUPAPI_
#include <windows.h>
#include <setupapi.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "substitute.h"

namespace {

using vantrel::test::StagedInterface;

struct Interface {
    std::wstring instanceId;
    std::wstring devicePath;
    StagedInterface::Fault fault;
};

constexpr GUID UsbDeviceInterfaceClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

std::vector<Interface> staged;
bool setFails = false;
std::string callLog;
std::string callLogCopy;
// Device sets are told apart by a number only; the pointer is never followed.
ULONG_PTR lastSet = 0x5E70;

void logLine(const char* format, ...) {
    char line[300];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    callLog += line;
    callLog += '\n';
}

const char* guidName(const GUID* guid) {
    if (!guid) return "null";
    return IsEqualGUID(*guid, UsbDeviceInterfaceClass) ? "usb" : "other";
}

unsigned long setNumber(HDEVINFO set) { return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(set) - 0x5E70); }

// The interface an SP_DEVICE_INTERFACE_DATA or SP_DEVINFO_DATA stands for:
// we keep its index + 1 in the Reserved field, as SetupAPI keeps a pointer there.
const Interface* interfaceAt(ULONG_PTR reserved) {
    if (reserved == 0 || reserved > staged.size()) return nullptr;
    return &staged[reserved - 1];
}

DWORD detailSize(const Interface& device) {
    return static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                              (device.devicePath.size() + 1) * sizeof(wchar_t));
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

extern "C" {

__declspec(dllexport) void SubstituteStage(const StagedInterface* interfaces, int count, BOOL failSet) {
    staged.clear();
    for (int i = 0; i < count; ++i)
        staged.push_back({interfaces[i].instanceId, interfaces[i].devicePath, interfaces[i].fault});
    setFails = failSet != FALSE;
    callLog.clear();
    lastSet = 0x5E70;
}

__declspec(dllexport) const char* SubstituteCallLog() {
    callLogCopy = callLog;
    return callLogCopy.c_str();
}

__declspec(dllexport) HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                                          DWORD flags) {
    logLine("GetClassDevs class=%s enumerator=%s window=%s flags=0x%lX", guidName(classGuid),
            enumerator ? "set" : "null", parent ? "set" : "null", static_cast<unsigned long>(flags));
    if (setFails) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<HDEVINFO>(++lastSet);
}

__declspec(dllexport) BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceData,
                                                             const GUID* classGuid, DWORD index,
                                                             PSP_DEVICE_INTERFACE_DATA interfaceData) {
    logLine("EnumDeviceInterfaces set=%lu device=%s class=%s index=%lu cbSize=%lu", setNumber(set),
            deviceData ? "set" : "null", guidName(classGuid), static_cast<unsigned long>(index),
            interfaceData ? static_cast<unsigned long>(interfaceData->cbSize) : 0ul);
    if (!interfaceData || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    if (index >= staged.size()) return fail(ERROR_NO_MORE_ITEMS);
    interfaceData->InterfaceClassGuid = UsbDeviceInterfaceClass;
    interfaceData->Flags = SPINT_ACTIVE;
    interfaceData->Reserved = index + 1;
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                                                                  PDWORD required, PSP_DEVINFO_DATA deviceData) {
    const Interface* device = interfaceData ? interfaceAt(interfaceData->Reserved) : nullptr;
    logLine("GetDeviceInterfaceDetail set=%lu interface=%lu detail=%s size=%lu cbSize=%lu required=%s device=%s "
            "deviceCbSize=%lu",
            setNumber(set), interfaceData ? static_cast<unsigned long>(interfaceData->Reserved) : 0ul,
            detail ? "set" : "null", static_cast<unsigned long>(size),
            detail ? static_cast<unsigned long>(detail->cbSize) : 0ul, required ? "set" : "null",
            deviceData ? "set" : "null", deviceData ? static_cast<unsigned long>(deviceData->cbSize) : 0ul);
    if (!device) return fail(ERROR_INVALID_PARAMETER);
    if (device->fault == StagedInterface::SizeQueryFails) return fail(ERROR_INVALID_PARAMETER);
    const DWORD needed = detailSize(*device);
    if (required) *required = needed;
    if (!detail) return fail(size == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return fail(ERROR_INVALID_USER_BUFFER);
    if (deviceData && deviceData->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    if (size < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    if (device->fault == StagedInterface::DetailFails) return fail(ERROR_GEN_FAILURE);
    std::wmemcpy(detail->DevicePath, device->devicePath.c_str(), device->devicePath.size() + 1);
    if (deviceData) {
        deviceData->ClassGuid = GUID{};
        deviceData->DevInst = static_cast<DWORD>(interfaceData->Reserved);
        deviceData->Reserved = interfaceData->Reserved;
    }
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO set, PSP_DEVINFO_DATA deviceData, PWSTR id,
                                                             DWORD size, PDWORD required) {
    const Interface* device = deviceData ? interfaceAt(deviceData->Reserved) : nullptr;
    logLine("GetDeviceInstanceId set=%lu device=%lu cbSize=%lu id=%s size=%lu required=%s", setNumber(set),
            deviceData ? static_cast<unsigned long>(deviceData->Reserved) : 0ul,
            deviceData ? static_cast<unsigned long>(deviceData->cbSize) : 0ul, id ? "set" : "null",
            static_cast<unsigned long>(size), required ? "set" : "null");
    if (!deviceData || deviceData->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    if (!device || device->fault == StagedInterface::InstanceIdFails) return fail(ERROR_NO_SUCH_DEVINST);
    const DWORD needed = static_cast<DWORD>(device->instanceId.size() + 1);
    if (required) *required = needed;
    if (!id || size < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::wmemcpy(id, device->instanceId.c_str(), needed);
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    logLine("DestroyDeviceInfoList set=%lu", setNumber(set));
    return TRUE;
}

}  // extern "C"
