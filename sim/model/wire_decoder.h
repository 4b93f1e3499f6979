#pragma once
// Cuts the byte stream a cutter receives into commands: text commands ended
// by ETX, and the raw escape sequences (ESC ENQ status request, ESC NUL d jog)
// that carry no terminator. Bytes may arrive split anywhere; the decoder keeps
// what is not complete yet for the next call.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::sim {

struct WireCommand {
    enum class Kind {
        Text,           // `text` holds the command without its ETX
        StatusRequest,  // ESC ENQ
        Jog,            // ESC NUL d; `jogCode` holds d
        UnknownEscape,  // ESC followed by a byte we do not know; `text` holds both bytes
        Oversized,      // a text command longer than the decoder's limit; `text` holds its start
    };
    Kind kind = Kind::Text;
    std::string text;
    std::uint8_t jogCode = 0;

    bool operator==(const WireCommand&) const = default;
};

// Printable one-line form for logs: text commands as they stand (bytes outside
// printable ASCII as \xNN), escapes as "<ESC ENQ>", "<ESC NUL 02>" and so on.
std::string describe(const WireCommand& command);

class WireDecoder {
public:
    // A text command longer than `maxCommandLength` is not kept whole: a
    // sender that never ends a command must not grow our memory without limit.
    explicit WireDecoder(std::size_t maxCommandLength = 64u << 20);

    // Decodes `bytes` and appends every completed command to `out`.
    void feed(std::string_view bytes, std::vector<WireCommand>& out);

    // Bytes of a command that has not been completed yet.
    std::size_t pendingBytes() const { return pending_.size() + (state_ == State::Text ? 0 : 1); }
    void reset();

private:
    enum class State { Text, AfterEsc, AfterEscNul };
    std::size_t maxCommandLength_;
    State state_ = State::Text;
    std::string pending_;
    bool overflowed_ = false;
};

}  // namespace vantrel::sim
