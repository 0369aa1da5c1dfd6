#pragma once

class CXmlDocument;
class CXmlNode;

// A measured item that writes itself into the result document.
class ISerializeData
{
public:
    // Appends the item's elements to parent; true when all were written.
    virtual bool Serialize(CXmlNode& parent, CXmlDocument& document) const = 0;

    virtual ~ISerializeData() = default;
};
