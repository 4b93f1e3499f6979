#pragma once
// What the machine's identification means to the rest of the plug-in: the
// model code, the mat the preview draws, and the texts of the status line.
#include <cstdint>
#include <string>
#include <string_view>

#include "cutdata/cutter_model.h"

namespace vantrel {

// "CAMEO" or "PORTRAIT" as the leading characters, case ignored; anything
// else (an SD, a CC330L, a shorter text such as "CAME") is model 1.
CutterModel modelFromIdentification(std::string_view identification);

// The identification reply without white space at either end.
std::string_view trimReply(std::string_view reply);

// The mat drawn in the preview, in inches, for a design whose right edge
// (curve-aware bounds) lies at `designRightEdge`. A design wider than the
// 12-inch mat gets a mat of its own width plus a quarter inch and turns the
// carrier mat option off, since such a job cannot be cut on a mat.
struct MatSize {
    float width = 0;
    float height = 0;
    bool clearCarrierMat = false;
    friend bool operator==(const MatSize&, const MatSize&) = default;
};
MatSize matSizeFor(CutterModel model, float designRightEdge);

// The status line under the preview: a text and an ARGB colour.
struct StatusLine {
    std::wstring text;
    std::uint32_t argb = 0;
    friend bool operator==(const StatusLine&, const StatusLine&) = default;
};
inline constexpr std::uint32_t ConnectingColour = 0xFFC0C000;
inline constexpr std::uint32_t NotConnectedColour = 0xFFFF0000;
inline constexpr std::uint32_t ConnectedColour = 0xFF000000;
StatusLine connectingStatus();
StatusLine notConnectedStatus();
// "Connected [" + identification + "]"; the identification's 8-bit
// characters are widened one for one.
StatusLine connectedStatus(std::string_view identification);

}  // namespace vantrel
