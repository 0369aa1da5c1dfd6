#include <gtest/gtest.h>

#include "base/ComSupport.h"
#include "net/WebReporting.h"
#include "testbed/support/LogRecorder.h"
#include "tests/net/NetTestSupport.h"

namespace
{
const wchar_t kSite[] = L"www.tessarin.test";

class WebReportingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StandIn().IsRunning());
        ASSERT_TRUE(StandIn().Reset());
    }
    CComApartment m_com;
};
}

TEST_F(WebReportingTest, InitReplyGivesTheFirstUrlOfRoot)
{
    struct Case
    {
        const wchar_t* reply;
        bool found;
        const wchar_t* url;
    } cases[] = {
        {L"<root><url>http://a/1</url></root>", true, L"http://a/1"},
        {L"<?xml version=\"1.0\"?><!-- page --><root><x/><url>http://a/2</url><url>http://b</url></root>", true,
         L"http://a/2"},
        {L"<other><url>http://a</url></other>", false, L""},
        {L"<root><x><url>http://deep</url></x></root>", false, L""},
        {L"<root><url>http://a", false, L""},
        {L"not xml at all", false, L""},
        {L"", false, L""},
    };
    for (const Case& c : cases)
    {
        std::wstring url;
        EXPECT_EQ(c.found, HandleInitReply(c.reply, url)) << c.reply;
        EXPECT_EQ(c.url, url) << c.reply;
    }
}

TEST_F(WebReportingTest, UploadSendsIdAndDocumentAndReadsTheAddress)
{
    // Sent in pieces, as a slow site may: the whole reply is read.
    ASSERT_TRUE(StandIn().SetRoute(
        L"/common/init", {{L"body", L"<?xml version=\"1.0\"?><root><url>http://www.tessarin.test/h/7/en</url></root>"},
                          {L"pieces", L"3"}, {L"delay_ms", L"30"}}));
    const std::wstring document = L"<tessarin><os>Windows 7&#13;SP1 + x</os></tessarin>";
    EXPECT_EQ(L"http://www.tessarin.test/h/7/en", ExchangeResults(kSite, 80, L"0123abcd-uid", document));
    EXPECT_EQ(document, StandIn().LastField(L"data"));
    EXPECT_EQ(L"0123abcd-uid", StandIn().LastField(L"UID"));
}

TEST_F(WebReportingTest, BadRepliesAreLoggedOrIgnored)
{
    const wchar_t* const kReceiveError = L"Error:\tReceiving data from server error.. Last error: ";
    const wchar_t* const kNotWebAddress = L"Error:\tThe results page address is no web address: ";
    struct Case
    {
        CStandInServer::Fields route;
        const wchar_t* logged;
    } cases[] = {
        {{{L"body", L"<root><url>x"}, {L"repeat", L"10000000"}}, kReceiveError},
        {{{L"body", L"<root><url>http://cut</url></root>"}, {L"length", L"short"}}, kReceiveError},
        {{{L"body", L"<root><url>C:\\Windows\\notepad.exe</url></root>"}}, kNotWebAddress},
        {{{L"body", L"<root><url>file:///C:/x.exe</url></root>"}}, kNotWebAddress},
        {{{L"body", L"<html>not found</html>"}, {L"status", L"404"}}, nullptr},
        {{{L"body", L"<root><url>"}}, nullptr},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().SetRoute(L"/common/init", c.route));
        CLogRecorder log;
        EXPECT_EQ(L"", ExchangeResults(kSite, 80, L"uid", L"<tessarin/>")) << c.route.at(L"body");
        if (c.logged)
        {
            EXPECT_NE(std::wstring::npos, log.NewText().find(c.logged)) << log.NewText();
        }
        else
        {
            EXPECT_EQ(std::wstring::npos, log.NewText().find(L"Error:\t")) << log.NewText();
        }
    }
}
