// Any bytes as the IEEE 1284 identification buffer a USB driver fills, with
// the count it claims: the text is read within the bytes returned and the
// buffer (allocated to its exact size, so the sanitizer sees any read beyond
// it) and stops at its first NUL; what reads it then (the maker, the model,
// the status line) reads within it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "device/cutter_id.h"
#include "device/identification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    if (size < 2) return 0;
    // The count the driver claims, which may exceed what it wrote or the buffer.
    const std::size_t returned = (std::size_t{data[0]} << 8 | data[1]) % (2 * DeviceIdBufferSize);
    const std::size_t filled = std::min(size - 2, DeviceIdBufferSize);
    const std::unique_ptr<char[]> buffer(new char[DeviceIdBufferSize]);
    std::memset(buffer.get(), 0, DeviceIdBufferSize);
    std::memcpy(buffer.get(), data + 2, filled);
    const std::string_view id = deviceIdText(buffer.get(), returned);
    if (id.data() < buffer.get() || id.data() + id.size() > buffer.get() + std::min(returned, DeviceIdBufferSize))
        std::abort();
    if (id.find('\0') != std::string_view::npos) std::abort();
    (void)namesCutterMaker(id);
    const std::string_view trimmed = trimReply(id);
    if (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.back() == ' ')) std::abort();
    (void)modelFromIdentification(trimmed);
    if (connectedStatus(trimmed).text.size() != trimmed.size() + std::wstring_view(L"Connected []").size()) std::abort();
    return 0;
}
