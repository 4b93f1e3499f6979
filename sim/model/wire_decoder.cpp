#include "model/wire_decoder.h"

namespace vantrel::sim {
namespace {
constexpr char Esc = 0x1B;
constexpr char Enq = 0x05;
constexpr char Nul = 0x00;
constexpr std::size_t OversizedKeep = 64;

void appendHex(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789ABCDEF";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}
}  // namespace

std::string describe(const WireCommand& command) {
    std::string out;
    switch (command.kind) {
    case WireCommand::Kind::StatusRequest:
        return "<ESC ENQ>";
    case WireCommand::Kind::Jog:
        out = "<ESC NUL ";
        appendHex(out, command.jogCode);
        return out + ">";
    case WireCommand::Kind::UnknownEscape:
        out = "<ESC";
        for (std::size_t i = 1; i < command.text.size(); ++i) {
            out += ' ';
            appendHex(out, static_cast<unsigned char>(command.text[i]));
        }
        return out + ">";
    case WireCommand::Kind::Oversized:
        out = "<oversized command> ";
        break;
    case WireCommand::Kind::Text:
        break;
    }
    for (char c : command.text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += "\\x";
            appendHex(out, byte);
        }
    }
    return out;
}

WireDecoder::WireDecoder(std::size_t maxCommandLength) : maxCommandLength_(maxCommandLength) {}

void WireDecoder::reset() {
    state_ = State::Text;
    pending_.clear();
    overflowed_ = false;
}

void WireDecoder::feed(std::string_view bytes, std::vector<WireCommand>& out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (state_ == State::AfterEsc) {
            ++i;
            if (c == Enq) {
                out.push_back({WireCommand::Kind::StatusRequest, {}, 0});
                state_ = State::Text;
            } else if (c == Nul) {
                state_ = State::AfterEscNul;
            } else {
                out.push_back({WireCommand::Kind::UnknownEscape, std::string{Esc, c}, 0});
                state_ = State::Text;
            }
            continue;
        }
        if (state_ == State::AfterEscNul) {
            ++i;
            out.push_back({WireCommand::Kind::Jog, {}, static_cast<std::uint8_t>(c)});
            state_ = State::Text;
            continue;
        }
        // Text state: copy the run up to the next ETX or ESC in one go, so a
        // multi-megabyte draw list costs one append per read, not per byte.
        std::size_t stop = bytes.find_first_of(std::string_view("\x03\x1B", 2), i);
        std::size_t end = stop == std::string_view::npos ? bytes.size() : stop;
        if (!overflowed_) {
            std::size_t room = maxCommandLength_ - pending_.size();
            std::size_t take = end - i;
            if (take > room) {
                pending_.append(bytes.substr(i, room));
                pending_.resize(std::min(pending_.size(), OversizedKeep));
                overflowed_ = true;
            } else {
                pending_.append(bytes.substr(i, take));
            }
        }
        i = end;
        if (stop == std::string_view::npos) break;
        ++i;
        if (bytes[stop] == Esc) {
            // An escape may come between the bytes of a text command; the text
            // goes on after it.
            state_ = State::AfterEsc;
            continue;
        }
        WireCommand command;
        command.kind = overflowed_ ? WireCommand::Kind::Oversized : WireCommand::Kind::Text;
        command.text = std::move(pending_);
        pending_.clear();
        overflowed_ = false;
        out.push_back(std::move(command));
    }
}

}  // namespace vantrel::sim
