#include "XmlDom.h"

#include <oleauto.h>

namespace xmldom {

using Microsoft::WRL::ComPtr;

namespace {

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        throw XmlError(what, hr);
    }
}

// Owns a BSTR.
class CBstr {
public:
    CBstr() = default;
    explicit CBstr(const std::string& ansi) {
        const std::wstring wide = ToWide(ansi);
        m_str = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (m_str == nullptr) {
            throw XmlError("out of memory", E_OUTOFMEMORY);
        }
    }
    ~CBstr() { ::SysFreeString(m_str); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;

    BSTR Get() const { return m_str; }
    BSTR* Receive() {
        ::SysFreeString(m_str);
        m_str = nullptr;
        return &m_str;
    }
    std::string Ansi() const {
        return m_str ? ToAnsi(m_str, static_cast<int>(::SysStringLen(m_str))) : std::string();
    }

private:
    BSTR m_str = nullptr;
};

// A VARIANT holding a BSTR; the BSTR stays owned by the CBstr.
VARIANT StringVariant(const CBstr& text) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.Get();
    return v;
}

ComPtr<IXMLDOMElement> AsElement(IXMLDOMNode* node) {
    ComPtr<IXMLDOMElement> element;
    if (node == nullptr) {
        throw XmlError("no node", E_POINTER);
    }
    Check(
        node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf())),
        "not an element");
    return element;
}

Node ToNode(IUnknown* unknown) {
    ComPtr<IXMLDOMNode> node;
    if (unknown != nullptr) {
        Check(
            unknown->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf())),
            "not a node");
    }
    return Node(node);
}

} // namespace

std::wstring ToWide(const std::string& ansi) {
    if (ansi.empty()) {
        return std::wstring();
    }
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    return wide;
}

std::string ToAnsi(const wchar_t* wide, int length) {
    if (wide == nullptr || length == 0) {
        return std::string();
    }
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        return std::string();
    }
    std::string ansi(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, &ansi[0], n, nullptr, nullptr);
    if (length < 0 && !ansi.empty() && ansi.back() == '\0') {
        ansi.pop_back();
    }
    return ansi;
}

long AttributeMap::Length() const {
    long length = 0;
    if (m_map) {
        Check(m_map->get_length(&length), "attribute count");
    }
    return length;
}

Node AttributeMap::Item(long index) const {
    ComPtr<IXMLDOMNode> item;
    if (m_map) {
        Check(m_map->get_item(index, item.GetAddressOf()), "attribute");
    }
    return Node(item);
}

bool Node::IsElement() const {
    DOMNodeType type = NODE_INVALID;
    Check(m_node->get_nodeType(&type), "node type");
    return type == NODE_ELEMENT;
}

std::string Node::Name() const {
    CBstr name;
    Check(m_node->get_nodeName(name.Receive()), "node name");
    return name.Ansi();
}

std::string Node::Text() const {
    CBstr text;
    Check(m_node->get_text(text.Receive()), "node text");
    return text.Ansi();
}

Node Node::FirstChild() const {
    ComPtr<IXMLDOMNode> child;
    Check(m_node->get_firstChild(child.GetAddressOf()), "first child");
    return Node(child);
}

Node Node::NextSibling() const {
    ComPtr<IXMLDOMNode> sibling;
    Check(m_node->get_nextSibling(sibling.GetAddressOf()), "next sibling");
    return Node(sibling);
}

AttributeMap Node::Attributes() const {
    ComPtr<IXMLDOMNamedNodeMap> map;
    Check(m_node->get_attributes(map.GetAddressOf()), "attributes");
    return AttributeMap(map);
}

void Node::SetAttribute(const std::string& name, const std::string& value) const {
    const CBstr bname(name), bvalue(value);
    Check(AsElement(m_node.Get())->setAttribute(bname.Get(), StringVariant(bvalue)),
          "set attribute");
}

void Node::SetText(const std::string& text) const {
    const CBstr btext(text);
    Check(m_node->put_text(btext.Get()), "set text");
}

void Node::AppendChild(const Node& child) const {
    ComPtr<IXMLDOMNode> added;
    Check(m_node->appendChild(child.Get(), added.GetAddressOf()), "append child");
}

Document Document::Create() {
    ComPtr<IXMLDOMDocument> doc;
    Check(::CoCreateInstance(CLSID_DOMDocument30, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                             reinterpret_cast<void**>(doc.GetAddressOf())),
          "create DOMDocument30");
    // Load means the whole file is parsed before the call returns.
    Check(doc->put_async(VARIANT_FALSE), "synchronous load");
    return Document(doc);
}

bool Document::Load(const std::string& path) const {
    const CBstr bpath(path);
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = m_doc->load(StringVariant(bpath), &ok);
    // A parse failure is S_FALSE with VARIANT_FALSE: only S_OK with TRUE is a load.
    return hr == S_OK && ok == VARIANT_TRUE;
}

long Document::ParseErrorCode() const {
    ComPtr<IXMLDOMParseError> error;
    Check(m_doc->get_parseError(error.GetAddressOf()), "parse error");
    long code = 0;
    if (error) {
        Check(error->get_errorCode(&code), "parse error code");
    }
    return code;
}

void Document::Save(const std::string& path) const {
    const CBstr bpath(path);
    Check(m_doc->save(StringVariant(bpath)), "save");
}

Node Document::DocumentElement() const {
    ComPtr<IXMLDOMElement> root;
    Check(m_doc->get_documentElement(root.GetAddressOf()), "document element");
    return ToNode(root.Get());
}

Node Document::CreateElement(const std::string& name) const {
    const CBstr bname(name);
    ComPtr<IXMLDOMElement> element;
    Check(m_doc->createElement(bname.Get(), element.GetAddressOf()), "create element");
    return ToNode(element.Get());
}

void Document::AppendChild(const Node& child) const {
    ComPtr<IXMLDOMNode> added;
    Check(m_doc->appendChild(child.Get(), added.GetAddressOf()), "append child");
}

} // namespace xmldom
