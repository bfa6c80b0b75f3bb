#include "SkinFile.h"
#include "Owners.h"
#include "XmlFile.h"

#include <msxml2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <wchar.h>

using Microsoft::WRL::ComPtr;

namespace {

struct AttributeSpec {
    const wchar_t* name;
    SkinColor color;
};

struct ElementSpec {
    const wchar_t* name;
    const AttributeSpec* attributes;
    unsigned count;
};

constexpr AttributeSpec kDialogAttributes[] = {{L"Background", kDialogBackground},
                                               {L"Text", kDialogText}};
constexpr AttributeSpec kTextAttributes[] = {{L"Color", kStaticText}};
constexpr AttributeSpec kButtonAttributes[] = {{L"Background", kButtonBackground},
                                               {L"Text", kButtonText},
                                               {L"Border", kButtonBorder},
                                               {L"HotBackground", kButtonHotBackground},
                                               {L"PressedBackground", kButtonPressedBackground},
                                               {L"DisabledBackground", kButtonDisabledBackground},
                                               {L"DisabledText", kButtonDisabledText},
                                               {L"Focus", kButtonFocus}};
constexpr AttributeSpec kEditAttributes[] = {{L"Background", kEditBackground},
                                             {L"Text", kEditText}};
constexpr AttributeSpec kReadOnlyEditAttributes[] = {{L"Background", kReadOnlyBackground},
                                                     {L"Text", kReadOnlyText}};
constexpr AttributeSpec kListAttributes[] = {{L"Background", kListBackground},
                                             {L"Text", kListText}};
constexpr AttributeSpec kListSelectionAttributes[] = {{L"Background", kSelectionBackground},
                                                      {L"Text", kSelectionText}};
constexpr AttributeSpec kHeaderAttributes[] = {
    {L"Background", kHeaderBackground}, {L"Text", kHeaderText}, {L"Border", kHeaderBorder}};
constexpr AttributeSpec kGroupFrameAttributes[] = {{L"Color", kGroupFrame}};

template <unsigned N>
constexpr ElementSpec Element(const wchar_t* name, const AttributeSpec (&attributes)[N]) {
    return {name, attributes, N};
}

constexpr ElementSpec kElements[] = {
    Element(L"Dialog", kDialogAttributes),
    Element(L"Text", kTextAttributes),
    Element(L"Button", kButtonAttributes),
    Element(L"Edit", kEditAttributes),
    Element(L"ReadOnlyEdit", kReadOnlyEditAttributes),
    Element(L"List", kListAttributes),
    Element(L"ListSelection", kListSelectionAttributes),
    Element(L"Header", kHeaderAttributes),
    Element(L"GroupFrame", kGroupFrameAttributes),
};

using win32::CBstr;

// A BSTR's text; a null BSTR is the empty text.
const wchar_t* Text(const CBstr& text) {
    return text ? text.Get() : L"";
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

bool ParseColor(const wchar_t* text, COLORREF& color) {
    if (text[0] != L'#') {
        return false;
    }
    unsigned value = 0;
    for (int i = 1; i <= 6; ++i) { // stops at the terminator of a shorter text
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (text[7] != L'\0') {
        return false;
    }
    color = RGB(value >> 16, (value >> 8) & 0xFF, value & 0xFF);
    return true;
}

bool IsWhiteSpace(const wchar_t* text) {
    for (; *text != L'\0'; ++text) {
        if (*text != L' ' && *text != L'\t' && *text != L'\r' && *text != L'\n') {
            return false;
        }
    }
    return true;
}

DOMNodeType TypeOf(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    return type;
}

// Calls visit for each child element; beside them only comments and white space may stand.
template <class Visit> bool ForEachChildElement(IXMLDOMNode* parent, Visit visit) {
    ComPtr<IXMLDOMNode> child;
    HRESULT hr = parent->get_firstChild(child.GetAddressOf());
    while (hr == S_OK && child != nullptr) {
        const DOMNodeType type = TypeOf(child.Get());
        if (type == NODE_ELEMENT) {
            if (!visit(child.Get())) {
                return false;
            }
        } else if (type == NODE_TEXT) {
            CBstr text;
            if (child->get_text(text.Receive()) != S_OK || !IsWhiteSpace(Text(text))) {
                return false;
            }
        } else if (type != NODE_COMMENT) {
            return false;
        }
        ComPtr<IXMLDOMNode> next;
        hr = child->get_nextSibling(next.GetAddressOf());
        child = next;
    }
    return SUCCEEDED(hr);
}

// Calls visit with each attribute's name and value.
template <class Visit> bool ForEachAttribute(IXMLDOMNode* node, Visit visit) {
    ComPtr<IXMLDOMNamedNodeMap> map;
    long count = 0;
    if (node->get_attributes(map.GetAddressOf()) != S_OK || map == nullptr ||
        FAILED(map->get_length(&count))) {
        return false;
    }
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        CBstr name;
        CBstr value;
        if (map->get_item(i, attribute.GetAddressOf()) != S_OK || attribute == nullptr ||
            attribute->get_nodeName(name.Receive()) != S_OK ||
            attribute->get_text(value.Receive()) != S_OK || !visit(Text(name), Text(value))) {
            return false;
        }
    }
    return true;
}

bool ReadElement(IXMLDOMNode* node, SkinColors& colors) {
    CBstr name;
    if (node->get_nodeName(name.Receive()) != S_OK) {
        return false;
    }
    const ElementSpec* spec = nullptr;
    for (const ElementSpec& e : kElements) {
        if (wcscmp(e.name, Text(name)) == 0) {
            spec = &e;
            break;
        }
    }
    if (spec == nullptr) {
        return false;
    }
    // A later element of the same name replaces the earlier one as a whole.
    for (unsigned i = 0; i < spec->count; ++i) {
        colors.given &= ~SkinMask(spec->attributes[i].color);
    }
    const bool attributesRead =
        ForEachAttribute(node, [&](const wchar_t* attribute, const wchar_t* value) {
            for (unsigned i = 0; i < spec->count; ++i) {
                COLORREF color;
                if (wcscmp(spec->attributes[i].name, attribute) == 0) {
                    if (!ParseColor(value, color)) {
                        return false;
                    }
                    colors.Set(spec->attributes[i].color, color);
                    return true;
                }
            }
            return false;
        });
    // No element has elements inside.
    return attributesRead && ForEachChildElement(node, [](IXMLDOMNode*) { return false; });
}

bool ReadRoot(IXMLDOMNode* root, SkinColors& colors) {
    CBstr name;
    if (root->get_nodeName(name.Receive()) != S_OK || wcscmp(Text(name), L"Skin") != 0) {
        return false;
    }
    return ForEachAttribute(root, [](const wchar_t* attribute,
                                     const wchar_t*) { return wcscmp(attribute, L"Name") == 0; }) &&
           ForEachChildElement(root, [&](IXMLDOMNode* node) { return ReadElement(node, colors); });
}

BSTR AnsiToBstr(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) {
        return nullptr;
    }
    BSTR wide = ::SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (wide != nullptr) {
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length);
    }
    return wide;
}

} // namespace

bool ReadSkinFile(const char* path, SkinColors& colors) {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    const win32::CComScope com; // COM for the parse
    const CBstr file(AnsiToBstr(path));
    ComPtr<IXMLDOMDocument2> doc;
    if (!file || FAILED(xmldom::CreateHardenedDocument(doc.GetAddressOf())) ||
        xmldom::LoadXmlFile(doc.Get(), file.Get()) != S_OK) {
        return false;
    }
    ComPtr<IXMLDOMElement> root;
    if (doc->get_documentElement(root.GetAddressOf()) != S_OK || root == nullptr) {
        return false;
    }
    SkinColors read = {};
    if (!ReadRoot(root.Get(), read)) {
        return false;
    }
    colors = read;
    return true;
}
