#include "XmlDom.h"

#include "AnsiText.h"
#include "Owners.h"
#include "XmlFile.h"

#include <oleauto.h>

namespace xmldom {

using Microsoft::WRL::ComPtr;

namespace {

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        throw XmlError(what, hr);
    }
}

using win32::CBstr;

CBstr ToBstr(const std::string& ansi) {
    const std::wstring wide = win32::ToWide(ansi);
    CBstr text(::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    if (!text) {
        throw XmlError("out of memory", E_OUTOFMEMORY);
    }
    return text;
}

// The text in the ANSI code page; exact (when given) tells whether it converted exactly.
std::string ToAnsi(const CBstr& text, bool* exact = nullptr) {
    std::string ansi;
    const bool converted =
        !text || win32::ToAnsiExact(text.Get(), static_cast<int>(::SysStringLen(text.Get())), ansi);
    if (exact != nullptr) {
        *exact = converted;
    }
    return ansi;
}

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
    return ToAnsi(name);
}

std::string Node::Text() const {
    CBstr text;
    Check(m_node->get_text(text.Receive()), "node text");
    return ToAnsi(text);
}

std::string Node::Value(bool* exact) const {
    VARIANT value;
    ::VariantInit(&value);
    Check(m_node->get_nodeValue(&value), "node value");
    CBstr text;
    if (V_VT(&value) == VT_BSTR) {
        *text.Receive() = V_BSTR(&value); // the CBstr frees it
    } else {
        ::VariantClear(&value);
    }
    return ToAnsi(text, exact);
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
    const CBstr bname = ToBstr(name), bvalue = ToBstr(value);
    Check(AsElement(m_node.Get())->setAttribute(bname.Get(), StringVariant(bvalue)),
          "set attribute");
}

void Node::SetText(const std::string& text) const {
    const CBstr btext = ToBstr(text);
    Check(m_node->put_text(btext.Get()), "set text");
}

void Node::AppendChild(const Node& child) const {
    ComPtr<IXMLDOMNode> added;
    Check(m_node->appendChild(child.Get(), added.GetAddressOf()), "append child");
}

Document Document::Create() {
    ComPtr<IXMLDOMDocument2> doc;
    Check(CreateHardenedDocument(doc.GetAddressOf()), "create DOMDocument30");
    return Document(doc);
}

bool Document::Load(const std::string& path) const {
    return LoadXmlFile(m_doc.Get(), win32::ToWide(path).c_str()) == S_OK;
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

std::string Document::SaveToBytes() const {
    ComPtr<IStream> stream;
    Check(::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), "memory stream");
    VARIANT target;
    ::VariantInit(&target);
    V_VT(&target) = VT_UNKNOWN;
    V_UNKNOWN(&target) = stream.Get(); // borrowed: the ComPtr keeps the reference
    Check(m_doc->save(target), "save");

    STATSTG stat = {};
    Check(stream->Stat(&stat, STATFLAG_NONAME), "stream size");
    LARGE_INTEGER start = {};
    Check(stream->Seek(start, STREAM_SEEK_SET, nullptr), "stream rewind");
    std::string bytes(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
    ULONG got = 0;
    if (!bytes.empty()) {
        Check(stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), &got), "stream read");
    }
    bytes.resize(got);
    return bytes;
}

Node Document::DocumentElement() const {
    ComPtr<IXMLDOMElement> root;
    Check(m_doc->get_documentElement(root.GetAddressOf()), "document element");
    return ToNode(root.Get());
}

Node Document::CreateElement(const std::string& name) const {
    const CBstr bname = ToBstr(name);
    ComPtr<IXMLDOMElement> element;
    Check(m_doc->createElement(bname.Get(), element.GetAddressOf()), "create element");
    return ToNode(element.Get());
}

void Document::AppendChild(const Node& child) const {
    ComPtr<IXMLDOMNode> added;
    Check(m_doc->appendChild(child.Get(), added.GetAddressOf()), "append child");
}

} // namespace xmldom
