#include "tests/engine/XmlTestSupport.h"

namespace
{
class XmlTreeTest : public XmlTestBase
{
};

TEST_F(XmlTreeTest, BuiltTreeSurvivesSerialisationInOrder)
{
    const std::wstring awkward = L"a < b && c > \"d\" 'e' \u00e4\u20ac";
    CXmlDocument written;
    CXmlNode root;
    ASSERT_TRUE(written.Create());
    ASSERT_TRUE(written.CreateElement(root, L"tessarin"));
    ASSERT_TRUE(written.AppendChild(root));
    for (const wchar_t* name : {L"total_scores", L"percentage", L"max_scores"})
    {
        CXmlNode child;
        ASSERT_TRUE(written.CreateElement(child, name));
        ASSERT_TRUE(root.AppendChild(child));
        ASSERT_TRUE(child.SetText(name + awkward)); // filled after it was attached
    }

    std::wstring xml;
    ASSERT_TRUE(written.GetXml(xml));
    CXmlDocument read;
    ASSERT_TRUE(read.LoadXml(xml));
    CXmlNode child;
    ASSERT_TRUE(RootOf(read).GetFirstChild(child));
    std::vector<std::wstring> seen;
    do
        seen.push_back(NameOf(child) + L"=" + TextOf(child));
    while (child.MoveToNextSibling());
    EXPECT_EQ((std::vector<std::wstring>{L"total_scores=total_scores" + awkward,
                                         L"percentage=percentage" + awkward, L"max_scores=max_scores" + awkward}),
              seen);
    EXPECT_EQ(L"max_scores", NameOf(child)) << "the last sibling stays wrapped";
}

TEST_F(XmlTreeTest, ChildrenByNameSkipOtherNodes)
{
    CXmlDocument document;
    ASSERT_TRUE(document.LoadXml(L"<r><item>1</item><!--item--><other/>text<item>2</item>"
                                 L"<group><item>nested</item></group></r>"));
    std::vector<CXmlNode> items;
    ASSERT_TRUE(RootOf(document).GetChildren(L"item", items));
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(L"1", TextOf(items[0]));
    EXPECT_EQ(L"2", TextOf(items[1]));

    CXmlNode found;
    ASSERT_TRUE(RootOf(document).GetChild(L"other", found));
    EXPECT_FALSE(RootOf(document).GetChild(L"missing", found));
    EXPECT_EQ(L"other", NameOf(found)) << "a failed look-up keeps the previous result";
}

TEST_F(XmlTreeTest, AttributesByNameAndPosition)
{
    CXmlDocument document;
    CXmlNode element;
    ASSERT_TRUE(document.Create());
    ASSERT_TRUE(document.CreateElement(element, L"module"));
    ASSERT_TRUE(element.SetAttribute(L"slot", L"2"));
    ASSERT_TRUE(element.SetAttribute(L"size", L"1024.5"));
    ASSERT_TRUE(element.SetAttribute(L"slot", L"3")); // replaces, does not add

    int count = -1;
    CXmlNode attribute;
    std::wstring value = L"untouched";
    ASSERT_TRUE(element.GetAttributeCount(count));
    EXPECT_EQ(2, count);
    ASSERT_TRUE(element.GetAttribute(1, attribute));
    EXPECT_EQ(L"size=1024.5", NameOf(attribute) + L"=" + TextOf(attribute));
    EXPECT_FALSE(element.GetAttribute(2, attribute));
    EXPECT_FALSE(element.GetAttribute(L"missing", value));
    EXPECT_EQ(L"untouched", value);
    ASSERT_TRUE(element.GetAttribute(L"slot", value));
    EXPECT_EQ(L"3", value);

    CXmlNode text;
    ASSERT_TRUE(document.LoadXml(L"<r>text</r>"));
    ASSERT_TRUE(RootOf(document).GetFirstChild(text));
    EXPECT_FALSE(text.SetAttribute(L"a", L"1")) << "only elements have attributes";
    EXPECT_FALSE(text.GetAttributeCount(count));
}

TEST_F(XmlTreeTest, TypedReadersTakeOnlyWholeNumbers)
{
    CXmlDocument document;
    ASSERT_TRUE(document.LoadXml(L"<r a=\"-7\" b=\"0.125\"><int>42</int><real> 87.990000 </real>"
                                 L"<exp>1.5e3</exp><suffix>12abc</suffix><word>abc</word><empty/>"
                                 L"<huge>99999999999</huge><zero>0</zero></r>"));
    const CXmlNode root = RootOf(document);
    auto child = [&root](const wchar_t* name) {
        CXmlNode node;
        EXPECT_TRUE(root.GetChild(name, node)) << name;
        return node;
    };
    int number = 0;
    double real = 0;
    float single = 0;
    bool flag = false;
    EXPECT_TRUE(child(L"int").GetInt(number) && number == 42);
    EXPECT_TRUE(child(L"real").GetDouble(real) && real == 87.99);
    EXPECT_TRUE(child(L"exp").GetFloat(single) && single == 1500.0f);
    EXPECT_TRUE(child(L"int").GetBool(flag) && flag);
    EXPECT_TRUE(child(L"zero").GetBool(flag) && !flag);
    EXPECT_TRUE(root.GetAttributeInt(0, number) && number == -7);
    EXPECT_TRUE(root.GetAttributeDouble(1, real) && real == 0.125);
    EXPECT_FALSE(root.GetAttributeInt(2, number));

    number = 5;
    real = 5;
    for (const wchar_t* name : {L"suffix", L"word", L"empty"})
        EXPECT_FALSE(child(name).GetInt(number) || child(name).GetDouble(real)) << name;
    EXPECT_FALSE(child(L"huge").GetInt(number)) << "beyond 32 bits";
    EXPECT_EQ(5, number);
    EXPECT_EQ(5, real);
}

TEST_F(XmlTreeTest, EmptyWrappersFailWithoutTouchingOutputs)
{
    CXmlNode empty;
    CXmlNode other;
    std::wstring text = L"untouched";
    int number = 5;
    EXPECT_EQ(NODE_INVALID, empty.GetType());
    EXPECT_FALSE(empty.SetText(L"x") || empty.GetText(text) || empty.GetInt(number) || empty.MoveToNextSibling());

    CXmlDocument notCreated;
    EXPECT_FALSE(notCreated.GetXml(text) || notCreated.Save(L"never.xml") || notCreated.CreateElement(other, L"x"));
    EXPECT_EQ(L"untouched", text);
    EXPECT_EQ(5, number);
    ASSERT_TRUE(notCreated.Create());
    EXPECT_FALSE(notCreated.AppendChild(empty));
}
}
