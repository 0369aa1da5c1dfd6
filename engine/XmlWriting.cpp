#include "engine/XmlWriting.h"

bool AppendElement(CXmlDocument& document, CXmlNode& parent, const std::wstring& name, CXmlNode& element)
{
    CXmlNode created;
    if (!document.CreateElement(created, name) || !parent.AppendChild(created))
        return false;
    element = created;
    return true;
}

bool AppendTextElement(CXmlDocument& document, CXmlNode& parent, const std::wstring& name,
                       const std::wstring& text)
{
    CXmlNode element;
    return AppendElement(document, parent, name, element) && element.SetText(text);
}
