#include "engine/XmlDocument.h"

#include <cwchar>
#include <cwctype>

namespace
{
// MSXML2.DOMDocument.3.0. mingw's headers declare CLSID_DOMDocument30, but no
// library defines it.
const CLSID kDomDocument30Class = {
    0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};

using StringGetter = HRESULT (STDMETHODCALLTYPE IXMLDOMNode::*)(BSTR*);
using NodeGetter = HRESULT (STDMETHODCALLTYPE IXMLDOMNode::*)(IXMLDOMNode**);

bool ReadString(IXMLDOMNode* node, StringGetter getter, std::wstring& text)
{
    CBstr value;
    if (!node || FAILED((node->*getter)(value.Receive())))
        return false;
    text = value.ToString();
    return true;
}

// MSXML answers S_FALSE with a null node when there is none.
bool ReadNode(IXMLDOMNode* node, NodeGetter getter, CComPointer<IXMLDOMNode>& result)
{
    CComPointer<IXMLDOMNode> found;
    if (!node || (node->*getter)(found.Receive()) != S_OK || !found)
        return false;
    result = std::move(found);
    return true;
}

bool Append(IXMLDOMNode* parent, IXMLDOMNode* child)
{
    CComPointer<IXMLDOMNode> appended;
    return parent && child && SUCCEEDED(parent->appendChild(child, appended.Receive()));
}

bool QueryElement(IXMLDOMNode* node, CComPointer<IXMLDOMElement>& element)
{
    return node && SUCCEEDED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.Receive())));
}

// wcstod alone reads "12abc" as 12 and "abc" as 0; a value is only taken
// when the whole text is one number.
bool ParseDouble(const std::wstring& text, double& value)
{
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    const double parsed = std::wcstod(begin, &end);
    if (end == begin)
        return false;
    while (*end && std::iswspace(*end))
        ++end;
    if (static_cast<size_t>(end - begin) != text.size())
        return false;
    value = parsed;
    return true;
}
}

bool CXmlNode::AppendChild(const CXmlNode& child)
{
    return Append(m_node.Get(), child.m_node.Get());
}

bool CXmlNode::SetText(const std::wstring& text)
{
    return m_node && SUCCEEDED(m_node->put_text(CBstr(text).Get()));
}

bool CXmlNode::GetText(std::wstring& text) const
{
    return ReadString(m_node.Get(), &IXMLDOMNode::get_text, text);
}

bool CXmlNode::GetName(std::wstring& name) const
{
    return ReadString(m_node.Get(), &IXMLDOMNode::get_nodeName, name);
}

DOMNodeType CXmlNode::GetType() const
{
    DOMNodeType type = NODE_INVALID;
    if (!m_node || FAILED(m_node->get_nodeType(&type)))
        return NODE_INVALID;
    return type;
}

bool CXmlNode::GetFirstChild(CXmlNode& child) const
{
    return ReadNode(m_node.Get(), &IXMLDOMNode::get_firstChild, child.m_node);
}

bool CXmlNode::GetLastChild(CXmlNode& child) const
{
    return ReadNode(m_node.Get(), &IXMLDOMNode::get_lastChild, child.m_node);
}

bool CXmlNode::MoveToNextSibling()
{
    return ReadNode(m_node.Get(), &IXMLDOMNode::get_nextSibling, m_node);
}

bool CXmlNode::GetChild(const std::wstring& name, CXmlNode& child) const
{
    std::vector<CXmlNode> found;
    if (!GetChildren(name, found) || found.empty())
        return false;
    child = found.front();
    return true;
}

bool CXmlNode::GetChildren(const std::wstring& name, std::vector<CXmlNode>& children) const
{
    if (!m_node)
        return false;
    std::vector<CXmlNode> found;
    CXmlNode child;
    if (GetFirstChild(child))
    {
        do
        {
            std::wstring childName;
            if (child.GetType() == NODE_ELEMENT && child.GetName(childName) && childName == name)
                found.push_back(child);
        } while (child.MoveToNextSibling());
    }
    children.swap(found);
    return true;
}

bool CXmlNode::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    CComPointer<IXMLDOMElement> element;
    return QueryElement(m_node.Get(), element)
        && SUCCEEDED(element->setAttribute(CBstr(name).Get(), CVariant(value).Get()));
}

bool CXmlNode::GetAttribute(const std::wstring& name, std::wstring& value) const
{
    CComPointer<IXMLDOMElement> element;
    CVariant attribute;
    // A missing attribute comes back as S_FALSE with a null variant.
    if (!QueryElement(m_node.Get(), element)
        || element->getAttribute(CBstr(name).Get(), attribute.Receive()) != S_OK
        || attribute.Get().vt != VT_BSTR)
        return false;
    value = BstrToString(attribute.Get().bstrVal);
    return true;
}

bool CXmlNode::GetAttribute(int index, CXmlNode& attribute) const
{
    CComPointer<IXMLDOMNamedNodeMap> attributes;
    CComPointer<IXMLDOMNode> found;
    if (!m_node || m_node->get_attributes(attributes.Receive()) != S_OK || !attributes
        || attributes->get_item(index, found.Receive()) != S_OK || !found)
        return false;
    attribute.m_node = std::move(found);
    return true;
}

bool CXmlNode::GetAttributeCount(int& count) const
{
    CComPointer<IXMLDOMNamedNodeMap> attributes;
    long length = 0;
    if (!m_node || m_node->get_attributes(attributes.Receive()) != S_OK || !attributes
        || FAILED(attributes->get_length(&length)))
        return false;
    count = static_cast<int>(length);
    return true;
}

bool CXmlNode::GetBool(bool& value) const
{
    int number = 0;
    if (!GetInt(number))
        return false;
    value = number != 0;
    return true;
}

bool CXmlNode::GetInt(int& value) const
{
    CVariant typed;
    if (!m_node || FAILED(m_node->get_nodeTypedValue(typed.Receive())) || !typed.ChangeType(VT_I4))
        return false;
    value = typed.Get().lVal;
    return true;
}

bool CXmlNode::GetFloat(float& value) const
{
    double number = 0;
    if (!GetDouble(number))
        return false;
    value = static_cast<float>(number);
    return true;
}

bool CXmlNode::GetDouble(double& value) const
{
    std::wstring text;
    return GetValueText(text) && ParseDouble(text, value);
}

bool CXmlNode::GetAttributeBool(int index, bool& value) const
{
    CXmlNode attribute;
    return GetAttribute(index, attribute) && attribute.GetBool(value);
}

bool CXmlNode::GetAttributeInt(int index, int& value) const
{
    CXmlNode attribute;
    return GetAttribute(index, attribute) && attribute.GetInt(value);
}

bool CXmlNode::GetAttributeFloat(int index, float& value) const
{
    CXmlNode attribute;
    return GetAttribute(index, attribute) && attribute.GetFloat(value);
}

bool CXmlNode::GetAttributeDouble(int index, double& value) const
{
    CXmlNode attribute;
    return GetAttribute(index, attribute) && attribute.GetDouble(value);
}

bool CXmlNode::GetValueText(std::wstring& text) const
{
    CVariant typed;
    if (!m_node || FAILED(m_node->get_nodeTypedValue(typed.Receive())) || !typed.ChangeType(VT_BSTR))
        return false;
    text = BstrToString(typed.Get().bstrVal);
    return true;
}

bool CXmlDocument::Create()
{
    if (m_document)
        return true;
    CComPointer<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(kDomDocument30Class, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.Receive()))))
        return false;
    // Loads finish before they return. Loaded text may come from the web,
    // so nothing it names (external DTDs and entities) is ever fetched.
    if (FAILED(document->put_async(VARIANT_FALSE)) || FAILED(document->put_resolveExternals(VARIANT_FALSE)))
        return false;
    m_document = std::move(document);
    return true;
}

bool CXmlDocument::Load(const std::wstring& path)
{
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return Create() && m_document->load(CVariant(path).Get(), &loaded) == S_OK && loaded == VARIANT_TRUE;
}

bool CXmlDocument::LoadXml(const std::wstring& text)
{
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return Create() && m_document->loadXML(CBstr(text).Get(), &loaded) == S_OK && loaded == VARIANT_TRUE;
}

bool CXmlDocument::Save(const std::wstring& path) const
{
    return m_document && SUCCEEDED(m_document->save(CVariant(path).Get()));
}

bool CXmlDocument::GetXml(std::wstring& text) const
{
    return ReadString(m_document.Get(), &IXMLDOMNode::get_xml, text);
}

bool CXmlDocument::CreateElement(CXmlNode& element, const std::wstring& name)
{
    CComPointer<IXMLDOMNode> node;
    if (!m_document
        || FAILED(m_document->createNode(CVariant(static_cast<long>(NODE_ELEMENT)).Get(), CBstr(name).Get(),
                                         CBstr(std::wstring()).Get(), node.Receive()))
        || !node)
        return false;
    element.m_node = std::move(node);
    return true;
}

bool CXmlDocument::CreateProcessingInstruction(const std::wstring& target, const std::wstring& data)
{
    CComPointer<IXMLDOMProcessingInstruction> instruction;
    return m_document
        && SUCCEEDED(m_document->createProcessingInstruction(CBstr(target).Get(), CBstr(data).Get(),
                                                             instruction.Receive()))
        && Append(m_document.Get(), instruction.Get());
}

bool CXmlDocument::AppendChild(const CXmlNode& node)
{
    return Append(m_document.Get(), node.m_node.Get());
}

bool CXmlDocument::GetDocumentNode(CXmlNode& node) const
{
    CComPointer<IXMLDOMNode> documentNode;
    if (!m_document
        || FAILED(m_document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(documentNode.Receive()))))
        return false;
    node.m_node = std::move(documentNode);
    return true;
}
