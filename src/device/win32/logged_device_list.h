#pragma once
// The record of each discovery pass for the diagnostics log: lists made by the
// returned factory stand between discovery and the list it asks, record what
// each pass saw and log the pass when its outcome has changed.
#include "device/win32/discovery.h"

namespace vantrel::win {

DeviceListFactory withDiscoveryLog(DeviceListFactory factory);

}  // namespace vantrel::win
