// SVG documents through XmlLite, which every Windows since Vista has: the
// tools carry no XML library of their own. xmllite.dll is loaded when the
// first document is read, so nothing imports it that never reads one.
#include <windows.h>
#include <objidl.h>
#include <xmllite.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "design/design_file.h"
#include "design/svg_geometry.h"

namespace vantrel {

namespace {

// The document's bytes as the stream XmlLite reads. It lives on the stack for
// one parse and outlives the reader, so its count of references only has to be
// honest, not to free it.
class MemoryStream : public ISequentialStream {
public:
    explicit MemoryStream(const std::string& bytes) : bytes_(bytes) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(ISequentialStream)) {
            *object = static_cast<ISequentialStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        const std::size_t n = std::min<std::size_t>(size, bytes_.size() - given_);
        std::memcpy(buffer, bytes_.data() + given_, n);
        given_ += n;
        if (read) *read = static_cast<ULONG>(n);
        return n < size ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

private:
    const std::string& bytes_;
    std::size_t given_ = 0;
    ULONG references_ = 1;
};

template <typename T>
struct ComReleaser {
    void operator()(T* p) const {
        if (p) p->Release();
    }
};
using UniqueReader = std::unique_ptr<IXmlReader, ComReleaser<IXmlReader>>;

struct LibraryReleaser {
    void operator()(HMODULE module) const {
        if (module) FreeLibrary(module);
    }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryReleaser>;

using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

std::string utf8(const wchar_t* text, UINT length) {
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

std::string hex(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

// Names and values stay here while the tree points at them.
class Strings {
public:
    std::string_view keep(const wchar_t* text, UINT length) { return keep(utf8(text, length)); }
    std::string_view keep(std::string text) { return kept_.emplace_back(std::move(text)); }

private:
    std::deque<std::string> kept_;
};

DesignParseResult refuse(int line, int column, std::string message) {
    DesignParseResult result;
    result.errorLine = std::max(1, line);
    result.errorColumn = std::max(1, column);
    result.errorMessage = std::move(message);
    return result;
}

// The document's own text, for places as editors show them. XmlLite counts
// columns in UTF-16 units and hands attribute values with their line breaks
// made spaces (as XML normalises them); a refusal inside a value of many lines
// is placed by the value's own line breaks, so they are put back from here.
// Only a UTF-8 document (what drawing programs write) is read so; another
// keeps XmlLite's places.
class Source {
public:
    explicit Source(const std::string& text) : text_(text) {
        utf8_ = !(text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')));
        lineStarts_.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') lineStarts_.push_back(i + 1);
    }

    // Line and column in characters of XmlLite's place (column in UTF-16
    // units), and its offset in the text; false where the text cannot tell.
    bool at(UINT line, UINT position, int& column, std::size_t& offset) const {
        if (!utf8_ || line == 0 || position == 0 || line > lineStarts_.size()) return false;
        offset = lineStarts_[line - 1];
        column = 1;
        for (UINT units = 1; units < position; ++column) {
            if (offset >= text_.size() || text_[offset] == '\n') return false;
            const unsigned char lead = static_cast<unsigned char>(text_[offset]);
            const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            units += length == 4 ? 2 : 1;
            offset = std::min(offset + length, text_.size());
        }
        return true;
    }

    // The attribute whose name XmlLite places at `line`, `position`: where its
    // value begins, and the value with the line breaks it has in the text.
    void place(UINT line, UINT position, svg::Attribute& a, std::string& value) const {
        int column = 0;
        std::size_t at = 0;
        // Only where the text there is the attribute's name: else XmlLite's place holds.
        if (!this->at(line, position, column, at) || text_.compare(at, a.name.size(), a.name) != 0) return;
        const auto skip = [&](auto blank) {
            for (; at < text_.size() && blank(text_[at]); ++at) {
                if (text_[at] == '\n') ++line, column = 1;
                else if ((static_cast<unsigned char>(text_[at]) & 0xC0) != 0x80) ++column;
            }
        };
        const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        skip([](char c) { return c != '=' && c != ' ' && c != '\t' && c != '\r' && c != '\n'; });  // the name
        skip(isBlank);
        if (at >= text_.size() || text_[at] != '=') return;
        ++at, ++column;
        skip(isBlank);
        if (at >= text_.size() || (text_[at] != '"' && text_[at] != '\'')) return;
        a.line = static_cast<int>(line);
        a.column = column + 1;
        const std::size_t close = text_.find(text_[at], at + 1);
        if (close == std::string::npos) return;
        const std::string_view raw(text_.data() + at + 1, close - at - 1);
        // A reference makes the value differ from its text: no breaks put back.
        if (raw.find('&') != std::string_view::npos) return;
        std::string restored;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            restored += raw[i] == '\r' || raw[i] == '\n' ? '\n' : raw[i];
        }
        if (restored.size() != value.size()) return;
        for (std::size_t i = 0; i < restored.size(); ++i)
            if (restored[i] != value[i] && !(restored[i] == '\n' && value[i] == ' ')) return;
        value = std::move(restored);
    }

    int column(UINT line, UINT position) const {
        int column = 0;
        std::size_t offset = 0;
        return at(line, position, column, offset) ? column : static_cast<int>(position);
    }

    // An element is placed at its '<', as the native reader places it; a
    // reader that gives the name's place is moved back one.
    int elementColumn(UINT line, UINT position, std::string_view name) const {
        int column = 0;
        std::size_t offset = 0;
        if (!at(line, position, column, offset)) return static_cast<int>(position);
        const bool atName = offset > 0 && text_[offset - 1] == '<' && text_.compare(offset, name.size(), name) == 0;
        return atName ? column - 1 : column;
    }

private:
    const std::string& text_;
    bool utf8_ = true;
    std::vector<std::size_t> lineStarts_;
};

}  // namespace

// The attributes of the element the reader stands on, with where each value begins.
static void readAttributes(IXmlReader& reader, const Source& source, Strings& strings, svg::Element& element) {
    const wchar_t* text = nullptr;
    UINT length = 0, line = 0, position = 0;
    for (HRESULT more = reader.MoveToFirstAttribute(); more == S_OK; more = reader.MoveToNextAttribute()) {
        svg::Attribute attribute;
        reader.GetQualifiedName(&text, &length);
        attribute.name = strings.keep(text, length);
        reader.GetValue(&text, &length);
        std::string value = utf8(text, length);
        reader.GetLineNumber(&line);
        reader.GetLinePosition(&position);
        // The reader places an attribute at its name; without the text, the
        // value is taken to begin after name="
        attribute.line = static_cast<int>(line);
        attribute.column = static_cast<int>(position + attribute.name.size() + 2);
        source.place(line, position, attribute, value);
        attribute.value = strings.keep(std::move(value));
        element.attributes.push_back(attribute);
    }
}

// The user's locale as a language tag ("en-US"); English when it has none.
static std::string userLanguage() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    const int length = GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return length > 1 ? utf8(name, static_cast<UINT>(length - 1)) : std::string("en");
}

DesignParseResult parseSvg(std::string document) { return parseSvg(std::move(document), userLanguage()); }

DesignParseResult parseSvg(std::string document, std::string_view language) {
    UniqueLibrary library(LoadLibraryW(L"xmllite.dll"));
    auto create = library ? reinterpret_cast<CreateXmlReaderFn>(
                                reinterpret_cast<void*>(GetProcAddress(library.get(), "CreateXmlReader")))
                          : nullptr;
    if (!create) return refuse(1, 1, "this system has no XmlLite (xmllite.dll) to read SVG files with");
    // Before the reader, which holds it until the reader is released.
    MemoryStream stream(document);
    IXmlReader* raw = nullptr;
    if (FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&raw), nullptr)) || !raw)
        return refuse(1, 1, "XmlLite could not make a reader");
    UniqueReader reader(raw);
    // Drawing programs write a DOCTYPE with entities for their namespaces. With
    // no resolver set, nothing outside the document is ever fetched.
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse);
    if (FAILED(reader->SetInput(&stream))) return refuse(1, 1, "XmlLite could not read the document");

    const Source source(document);
    Strings strings;
    svg::Element root;
    bool haveRoot = false;
    std::vector<svg::Element*> open;
    XmlNodeType type;
    HRESULT status;
    while ((status = reader->Read(&type)) == S_OK) {
        if (type == XmlNodeType_EndElement) {
            if (!open.empty()) open.pop_back();
            continue;
        }
        if (type != XmlNodeType_Element) continue;
        UINT line = 0, position = 0;
        reader->GetLineNumber(&line);
        reader->GetLinePosition(&position);
        if (open.empty() && haveRoot) return refuse(static_cast<int>(line), source.column(line, position), "a second root element");
        svg::Element* element = open.empty() ? &root : &open.back()->children.emplace_back();
        haveRoot = true;
        const wchar_t* text = nullptr;
        UINT length = 0;
        reader->GetQualifiedName(&text, &length);
        element->name = strings.keep(text, length);
        element->line = static_cast<int>(line);
        element->column = source.elementColumn(line, position, element->name);
        const bool empty = reader->IsEmptyElement();
        readAttributes(*reader, source, strings, *element);
        if (!empty) {
            open.push_back(element);
            if (static_cast<int>(open.size()) > svg::MaxSvgDepth)
                return refuse(element->line, element->column,
                              "elements are nested too deep (more than " + std::to_string(svg::MaxSvgDepth) + ")");
        }
    }
    if (FAILED(status)) {
        UINT line = 0, position = 0;
        reader->GetLineNumber(&line);
        reader->GetLinePosition(&position);
        return refuse(static_cast<int>(line), source.column(line, position),
                      "this is not well-formed XML (XmlLite error " + hex(status) + ")");
    }
    if (!haveRoot) return refuse(1, 1, "this is not an XML document with an <svg> root");
    // The document's text is no longer needed: the tree holds its own copies.
    std::string().swap(document);
    return svg::buildSvgDesign(root, language);
}

}  // namespace vantrel
