#pragma once
#include <string>

#include "engine/XmlDocument.h"

// Creates an element named name and appends it to parent; element then
// holds it. False at the first step that fails.
bool AppendElement(CXmlDocument& document, CXmlNode& parent, const std::wstring& name, CXmlNode& element);

// The same for an element that carries a text: created, appended, then
// given the text.
bool AppendTextElement(CXmlDocument& document, CXmlNode& parent, const std::wstring& name,
                       const std::wstring& text);
