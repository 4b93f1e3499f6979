#pragma once
// Help pages: a page fragment becomes a complete HTML document in the user's
// system colours; the same fragment becomes plain text for the fallback view
// used when no HTML browser is available.
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

struct HelpPage {
    int resourceId;
    const char16_t* title;
};
inline constexpr HelpPage SettingsHelp{9016, u"Settings Help"};
inline constexpr HelpPage PerformCutHelp{9017, u"Perform Cut Help"};
inline constexpr HelpPage MultiCutHelp{9018, u"Multi-Cut Help"};
inline constexpr HelpPage CutTypeHelp{9019, u"Cut Type Help"};
inline constexpr HelpPage CalibrationHelp{9020, u"DPI Calibration Help"};

// "#RRGGBB", red first.
std::u16string htmlColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// The same from a platform colour value, which keeps red in its low byte.
std::u16string htmlColourFromColorRef(std::uint32_t colorRef);

// Every line feed becomes "<br />"; carriage returns stay.
std::u16string lineFeedsToBreaks(std::u16string_view page);

// The document written into the view, from the page as it is stored.
std::u16string buildHelpDocument(std::u16string_view page, std::uint32_t textColorRef, std::uint32_t backColorRef);

// The page as plain text: tags dropped, block ends and <br> as line breaks,
// list items as bullets, rules as a line of dashes, the common entities
// decoded. Source line breaks count as white space, as in a browser.
std::u16string helpPageAsText(std::u16string_view page);
// What the fallback view shows for a stored page: the text of the same body
// the browser would get, line feeds already turned into breaks.
std::u16string helpFallbackText(std::u16string_view page);

}  // namespace vantrel
