#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include <vector>

#include "base/ComSupport.h"

// The XML layer every reader and writer of XML in the program goes through,
// over the MSXML 3.0 DOM. COM must be initialised on the calling thread.
//
// Every operation returns false when its wrapper is empty or a COM call
// fails, and then leaves its output untouched. Only a string or variant that
// cannot be allocated raises an exception (CComError with E_OUTOFMEMORY).

// One DOM node, or nothing. Copies share the node.
class CXmlNode
{
public:
    CXmlNode() = default;

    bool AppendChild(const CXmlNode& child);

    bool SetText(const std::wstring& text);
    bool GetText(std::wstring& text) const;
    bool GetName(std::wstring& name) const;
    // NODE_INVALID for an empty wrapper.
    DOMNodeType GetType() const;

    bool GetFirstChild(CXmlNode& child) const;
    bool GetLastChild(CXmlNode& child) const;
    // Moves this wrapper on to the next sibling; at the last sibling it
    // returns false and keeps the current node.
    bool MoveToNextSibling();
    // The first child element with the given name.
    bool GetChild(const std::wstring& name, CXmlNode& child) const;
    // All child elements with the given name, in document order (none is
    // still a success).
    bool GetChildren(const std::wstring& name, std::vector<CXmlNode>& children) const;

    // Attributes by name: only an element has them.
    bool SetAttribute(const std::wstring& name, const std::wstring& value);
    // False when the attribute is missing.
    bool GetAttribute(const std::wstring& name, std::wstring& value) const;
    // Attributes by 0-based position in the node's attribute map.
    bool GetAttribute(int index, CXmlNode& attribute) const;
    bool GetAttributeCount(int& count) const;

    // Typed readers of the node's value. GetInt converts to a 32-bit integer
    // (false on text that is no number or out of range); GetBool is GetInt
    // not equal to 0; GetDouble and GetFloat accept a decimal number with
    // optional surrounding white space and nothing else.
    bool GetBool(bool& value) const;
    bool GetInt(int& value) const;
    bool GetFloat(float& value) const;
    bool GetDouble(double& value) const;

    // The same readers for the attribute at a 0-based position.
    bool GetAttributeBool(int index, bool& value) const;
    bool GetAttributeInt(int index, int& value) const;
    bool GetAttributeFloat(int index, float& value) const;
    bool GetAttributeDouble(int index, double& value) const;

private:
    friend class CXmlDocument;

    bool GetValueText(std::wstring& text) const;

    CComPointer<IXMLDOMNode> m_node;
};

// One MSXML document, empty until Create (or a load) succeeds.
class CXmlDocument
{
public:
    CXmlDocument() = default;

    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Creates the document object for synchronous loading; true when it
    // exists (also when it existed already).
    bool Create();

    // Replace the content with a file (path or URL) or a text. Both create
    // the document first when needed and return false on malformed XML.
    bool Load(const std::wstring& path);
    bool LoadXml(const std::wstring& text);
    // Writes the document to a file, UTF-8 unless its declaration names
    // another encoding.
    bool Save(const std::wstring& path) const;
    // The whole document as text (MSXML may indent it).
    bool GetXml(std::wstring& text) const;

    // A new element, not yet attached anywhere.
    bool CreateElement(CXmlNode& element, const std::wstring& name);
    // Creates a processing instruction and appends it to the document, e.g.
    // "xml" / "version=\"1.0\" encoding=\"UTF-8\"" for the declaration.
    bool CreateProcessingInstruction(const std::wstring& target, const std::wstring& data);
    // Appends a node to the document itself (the root element).
    bool AppendChild(const CXmlNode& node);
    // The document as a node, the starting point for walking the tree.
    bool GetDocumentNode(CXmlNode& node) const;

private:
    CComPointer<IXMLDOMDocument> m_document;
};
