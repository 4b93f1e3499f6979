#pragma once
// What the discovery test and the substitute setupapi.dll beside it share:
// the device interfaces the test stages, and the two functions the
// substitute exports for the test (found with GetProcAddress).
#include <windows.h>

namespace vantrel::test {

struct StagedInterface {
    enum Fault : int {
        None,
        SizeQueryFails,   // the detail's size query fails with another error than "insufficient buffer"
        DetailFails,      // the size query answers, the detail itself fails
        InstanceIdFails,  // the device instance id cannot be read
    };
    const wchar_t* instanceId;
    const wchar_t* devicePath;
    Fault fault;
};

// The device sets made from now on hold `interfaces` (copied); with
// `setFails` SetupDiGetClassDevsW fails instead. Empties the call log.
using SubstituteStageFunction = void (*)(const StagedInterface* interfaces, int count, BOOL setFails);
// One line per call into the substitute's SetupAPI functions, oldest first,
// each ending in a line feed; valid until the substitute is called again.
using SubstituteCallLogFunction = const char* (*)();

}  // namespace vantrel::test
