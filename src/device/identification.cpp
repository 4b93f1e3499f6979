#include "device/identification.h"

namespace vantrel {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool startsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (upper(text[i]) != word[i]) return false;
    return true;
}

}  // namespace

CutterModel modelFromIdentification(std::string_view identification) {
    if (startsWithNoCase(identification, "CAMEO")) return CutterModelCameo;
    if (startsWithNoCase(identification, "PORTRAIT")) return CutterModelPortrait;
    return CutterModelSilhouette;
}

std::string_view trimReply(std::string_view reply) {
    while (!reply.empty() && isSpace(reply.front())) reply.remove_prefix(1);
    while (!reply.empty() && isSpace(reply.back())) reply.remove_suffix(1);
    return reply;
}

MatSize matSizeFor(CutterModel model, float designRightEdge) {
    MatSize mat{11.0f, 8.5f, false};
    if (designRightEdge > 12.0f) {
        mat.width = designRightEdge + 0.25f;
        mat.clearCarrierMat = true;
    } else if (designRightEdge > 11.0f) {
        mat.width = 12.0f;
    }
    if (model == CutterModelCameo) {
        if (mat.width < 12.0f) mat.width = 12.0f;
        mat.height = 12.0f;
    }
    return mat;
}

StatusLine connectingStatus() { return {L"Connecting...", ConnectingColour}; }

StatusLine notConnectedStatus() { return {L"Not Connected", NotConnectedColour}; }

StatusLine connectedStatus(std::string_view identification) {
    std::wstring text = L"Connected [";
    for (char c : identification) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    text += L']';
    return {text, ConnectedColour};
}

}  // namespace vantrel
