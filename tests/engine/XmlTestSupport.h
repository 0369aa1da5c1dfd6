#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/XmlDocument.h"

// The XML classes need COM on the calling thread, as on the program's UI
// thread.
class XmlTestBase : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    static void TearDownTestSuite() { ::CoUninitialize(); }

    // The root element of a document, or an empty node.
    static CXmlNode RootOf(const CXmlDocument& document)
    {
        CXmlNode node;
        document.GetDocumentNode(node);
        node.GetLastChild(node);
        return node;
    }

    static std::wstring TextOf(const CXmlNode& node)
    {
        std::wstring text = L"<no text>";
        node.GetText(text);
        return text;
    }

    static std::wstring NameOf(const CXmlNode& node)
    {
        std::wstring name = L"<no name>";
        node.GetName(name);
        return name;
    }
};
