// A small RAII wrapper over the platform's XML DOM (MSXML 3.0 through COM). Text crosses it as
// ANSI strings of the system code page; every failure is raised as XmlError.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <stdexcept>
#include <string>

namespace xmldom {

class XmlError : public std::runtime_error {
public:
    XmlError(const char* what, HRESULT hr) : std::runtime_error(what), m_hr(hr) {}
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

class Node;

// The attributes of a node, in document order.
class AttributeMap {
public:
    explicit AttributeMap(Microsoft::WRL::ComPtr<IXMLDOMNamedNodeMap> map)
        : m_map(std::move(map)) {}
    long Length() const;
    Node Item(long index) const;

private:
    Microsoft::WRL::ComPtr<IXMLDOMNamedNodeMap> m_map;
};

class Node {
public:
    Node() = default;
    explicit Node(Microsoft::WRL::ComPtr<IXMLDOMNode> node) : m_node(std::move(node)) {}

    // False past the last child or sibling.
    explicit operator bool() const { return m_node != nullptr; }
    IXMLDOMNode* Get() const { return m_node.Get(); }

    bool IsElement() const;
    std::string Name() const;
    // An element's text content (white space normalised by the DOM).
    std::string Text() const;
    // An attribute's value exactly as stored; exact (when given) tells whether it has an exact
    // counterpart in the ANSI code page.
    std::string Value(bool* exact = nullptr) const;
    Node FirstChild() const;
    Node NextSibling() const;
    AttributeMap Attributes() const;

    // Element operations; the node must be an element.
    void SetAttribute(const std::string& name, const std::string& value) const;
    void SetText(const std::string& text) const;
    void AppendChild(const Node& child) const;

private:
    Microsoft::WRL::ComPtr<IXMLDOMNode> m_node;
};

class Document {
public:
    // A new, empty, hardened DOMDocument30 (CreateHardenedDocument); COM must be initialised
    // on the thread.
    static Document Create();

    // True when the whole file was read and parsed (LoadXmlFile); a missing, unreadable,
    // oversized or malformed file, or one with a DTD, gives false, never an exception.
    bool Load(const std::string& path) const;
    // The parse error code of the last load (0 when none).
    long ParseErrorCode() const;
    // The document as MSXML writes it to a file.
    std::string SaveToBytes() const;

    Node DocumentElement() const;
    Node CreateElement(const std::string& name) const;
    void AppendChild(const Node& child) const;

private:
    explicit Document(Microsoft::WRL::ComPtr<IXMLDOMDocument2> doc) : m_doc(std::move(doc)) {}
    Microsoft::WRL::ComPtr<IXMLDOMDocument2> m_doc;
};

} // namespace xmldom
