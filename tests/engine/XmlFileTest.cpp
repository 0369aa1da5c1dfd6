#include "tests/engine/XmlTestSupport.h"

#include <fstream>
#include <iterator>

namespace
{
const std::wstring kNonAscii = L"Gr\u00e4fikkarte 5\u20ac \u4e2d";

// Each test gets its own folder below the temporary folder.
class XmlFileTest : public XmlTestBase
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
        m_folder = temp + std::wstring(L"tessarin_xml_") + std::to_wstring(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    }

    void TearDown() override
    {
        for (const std::wstring& file : m_files)
            ::DeleteFileW(file.c_str());
        ::RemoveDirectoryW(m_folder.c_str());
    }

    std::wstring ScratchFile(const std::wstring& name)
    {
        m_files.push_back(m_folder + L"\\" + name);
        return m_files.back();
    }

    std::wstring m_folder;
    std::vector<std::wstring> m_files;
};

TEST_F(XmlFileTest, SavedDocumentIsUtf8WithDeclarationAndLoadsBack)
{
    const std::wstring path = ScratchFile(L"result \u00e4.xml");
    CXmlDocument written;
    CXmlNode root;
    ASSERT_TRUE(written.Create());
    ASSERT_TRUE(written.CreateProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\""));
    ASSERT_TRUE(written.CreateElement(root, L"video_test"));
    ASSERT_TRUE(written.AppendChild(root));
    ASSERT_TRUE(root.SetText(kNonAscii));
    ASSERT_TRUE(root.SetAttribute(L"name", kNonAscii));
    ASSERT_TRUE(written.Save(path));

    std::ifstream file(path.c_str(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(0u, bytes.find("<?xml version=\"1.0\"")) << "declaration first, no byte order mark";
    EXPECT_NE(std::string::npos, bytes.find("Gr\xC3\xA4" "fikkarte 5\xE2\x82\xAC \xE4\xB8\xAD"));
    EXPECT_LT(0, ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                       nullptr, 0));

    CXmlDocument read;
    CXmlNode node;
    std::wstring attribute;
    ASSERT_TRUE(read.Load(path));
    ASSERT_TRUE(read.GetDocumentNode(node));
    ASSERT_TRUE(node.GetFirstChild(node));
    EXPECT_EQ(NODE_PROCESSING_INSTRUCTION, node.GetType());
    ASSERT_TRUE(node.MoveToNextSibling());
    EXPECT_EQ(kNonAscii, TextOf(node));
    ASSERT_TRUE(node.GetAttribute(L"name", attribute));
    EXPECT_EQ(kNonAscii, attribute);
}

TEST_F(XmlFileTest, FailedLoadsAndSavesReportFalseAndLeaveTheDocumentUsable)
{
    CXmlDocument document;
    EXPECT_FALSE(document.Load(ScratchFile(L"missing.xml")));
    EXPECT_FALSE(document.LoadXml(L"<r/><second/>"));
    EXPECT_FALSE(document.LoadXml(L""));
    EXPECT_FALSE(document.Save(m_folder + L"\\no such folder\\x.xml"));

    // A megabyte of text that fails only at its end, over and over: the
    // document stays usable. (What it costs in memory is a figure of
    // engine_bench.)
    const std::wstring malformed = L"<r>" + std::wstring(512 * 1024, L'x') + L"</wrong>";
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(document.LoadXml(malformed));

    ASSERT_TRUE(document.LoadXml(L"<r>after</r>"));
    EXPECT_EQ(L"after", TextOf(RootOf(document)));
    EXPECT_TRUE(document.Save(ScratchFile(L"after.xml")));
}

// Loaded text can come from the web: it must not make the program read the
// files it names.
TEST_F(XmlFileTest, ExternalEntitiesAreNotRead)
{
    const std::wstring secret = ScratchFile(L"secret.txt");
    std::ofstream(secret.c_str()) << "SECRET";
    CXmlDocument document;
    // The same document with the entity given inline: the parser does
    // expand entities, so what follows is down to the file not being read.
    ASSERT_TRUE(document.LoadXml(L"<!DOCTYPE r [<!ENTITY e \"INLINE\">]><r>&e;</r>"));
    EXPECT_EQ(L"INLINE", TextOf(RootOf(document)));

    ASSERT_TRUE(document.LoadXml(L"<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///" + secret + L"\">]><r>&e;</r>"));
    std::wstring xml;
    ASSERT_TRUE(document.GetXml(xml));
    EXPECT_EQ(std::wstring::npos, xml.find(L"SECRET"));
    EXPECT_EQ(L"", TextOf(RootOf(document)));
}
}
