#include <gtest/gtest.h>

#include "net/HttpClient.h"
#include "testbed/HangGuard.h"
#include "tests/net/NetTestSupport.h"

using namespace Utils::Network;
using Exception::CNetworkException;

namespace
{
const wchar_t kHost[] = L"www.tessarin.test";

class CCountingCredentials : public ICredentialsProvider
{
public:
    CCountingCredentials(std::wstring user, std::wstring password) : m_user(user), m_password(password) {}
    void GetCredentials(std::wstring& user, std::wstring& password) override
    {
        ++calls;
        user = m_user;
        password = m_password;
    }
    int calls = 0;

private:
    std::wstring m_user, m_password;
};

class CCollectingSink : public IDataSink
{
public:
    bool OnData(const char* buffer, DWORD, DWORD pieceBytes, unsigned long long received,
                unsigned long long contentLength) override
    {
        data.append(buffer, pieceBytes);
        lastReceived = received;
        announced = contentLength;
        return true;
    }
    std::string data;
    unsigned long long lastReceived = 0, announced = 0;
};

class CNoBytes : public IParameter
{
public:
    const char* GetData(size_t& length) const override
    {
        length = 0;
        return nullptr;
    }
};

std::string BytesOf(const IParameter& parameter)
{
    size_t length = 0;
    const char* data = parameter.GetData(length);
    return data ? std::string(data, length) : std::string();
}

class HttpClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StandIn().IsRunning());
        ASSERT_TRUE(StandIn().Reset());
    }

    // Sends a POST to the path and returns the exception code, or -1.
    int PostAndCatch(const std::wstring& path, ICredentialsProvider* credentials = nullptr)
    {
        try
        {
            CSimplePostHttpClient client(L"Zentrix", kHost, L"", 0, 80);
            client.SetCredentialsProvider(credentials);
            client.Send(path, nullptr);
            body = client.ReadWhole();
            return -1;
        }
        catch (const CNetworkException& error)
        {
            message = error.GetMessage();
            return error.GetCode();
        }
    }

    std::string body;
    std::wstring message;
};
}

TEST(HttpParametersTest, FieldsArePercentEncodedUtf8)
{
    struct Case
    {
        const wchar_t* name;
        const wchar_t* value;
        const char* bytes;
    } cases[] = {
        {L"UID", L"0a1b-2c", "UID=0a1b-2c"},
        {L"data", L"a b&c=d+e%", "data=a%20b%26c%3Dd%2Be%25"},
        {L"data", L"<x>&#13;</x>", "data=%3Cx%3E%26%2313%3B%3C%2Fx%3E"},
        {L"t", L"\u00fc\u20ac", "t=%C3%BC%E2%82%AC"},
        {L"empty", L"", "empty="},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, BytesOf(CSimpleTextParameter(c.name, c.value))) << c.bytes;
}

TEST(HttpParametersTest, Base64FollowsTheRfcVectors)
{
    const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& vector : vectors)
        EXPECT_EQ(vector[1], EncodeBase64(vector[0])) << vector[0];
    // "+" and "/" of the alphabet and the padding are escaped in the body.
    EXPECT_EQ("v=fn5%2BPz4%2F", BytesOf(CBase64ValueParamenter(L"v", L"~~~?>?")));
    EXPECT_EQ("v=fn4%2BPw%3D%3D", BytesOf(CBase64ValueParamenter(L"v", L"~~>?")));
}

TEST(HttpParametersTest, SetJoinsWithAmpersandEvenForAnEmptyParameter)
{
    CSimplePostParametersSet set;
    EXPECT_FALSE(set.Add(CNoBytes()));
    EXPECT_TRUE(set.Add(CSimpleTextParameter(L"a", L"1")));
    EXPECT_FALSE(set.Add(CNoBytes()));
    EXPECT_TRUE(set.Add(CSimpleTextParameter(L"b", L"2")));
    size_t length = 0;
    const char* data = set.GetData(length);
    EXPECT_EQ("a=1&&b=2", std::string(data, length));
    set.Clear();
    set.GetData(length);
    EXPECT_EQ(0u, length);
}

TEST(ReplyTextTest, StopsAtNulAndFallsBackToTheAnsiCodePage)
{
    EXPECT_EQ(L"abc", ReplyBytesToText(std::string("abc\0def", 7)));
    EXPECT_EQ(L"\u00fc", ReplyBytesToText("\xC3\xBC"));
    EXPECT_EQ(L"", ReplyBytesToText(""));
    // Not UTF-8: read in the ANSI code page, one character per byte.
    EXPECT_EQ(1u, ReplyBytesToText("\xFC").size());
}

TEST_F(HttpClientTest, AnsweredAtOnceAsksForNoCredentials)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/ok", {{L"body", L"<root/>"}}));
    CCountingCredentials credentials(L"u", L"p");
    EXPECT_EQ(-1, PostAndCatch(L"/ok", &credentials));
    EXPECT_EQ("<root/>", body);
    EXPECT_EQ(0, credentials.calls);
}

TEST_F(HttpClientTest, BodyArrivesDecodableOnTheServer)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/form", {{L"body", L"ok"}}));
    const std::wstring value = L"<a>&#13;1+1=2 \u00e9</a>";
    CSimplePostParametersSet set;
    set.Add(CSimpleTextParameter(L"UID", L"id"));
    set.Add(CSimpleTextParameter(L"data", value));
    CSimplePostHttpClient client(L"Zentrix", kHost, L"", 0, 80);
    client.Send(L"/form", &set);
    EXPECT_EQ(value, StandIn().LastField(L"data"));
    EXPECT_EQ(L"id", StandIn().LastField(L"UID"));
    EXPECT_EQ(L"application/x-www-form-urlencoded; charset=utf-8", StandIn().LastHeader(L"Content-Type"));
}

TEST_F(HttpClientTest, ProxyCredentialsAreSentWithBasic)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/guarded", {{L"body", L"inside"}, {L"auth", L"proxy-basic"},
                                                 {L"user", L"ann"}, {L"password", L"s3cret"}}));
    CCountingCredentials credentials(L"ann", L"s3cret");
    EXPECT_EQ(-1, PostAndCatch(L"/guarded", &credentials));
    EXPECT_EQ("inside", body);
    EXPECT_EQ(1, credentials.calls);
}

TEST_F(HttpClientTest, ChallengesThatNeverEndFailWithCode6)
{
    struct Case
    {
        const wchar_t* auth;
        int requests;
    } cases[] = {
        // The first request, the resend with Basic, then one without. (Wine's
        // WinHTTP may itself repeat a request once when credentials are set.)
        {L"proxy-forever", 3},
        // Basic alone is never chosen for a server: no resend after the first.
        {L"server-basic", 2},
        // A proxy and a server that take turns: three rounds of credentials.
        {L"alternate", 4},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().Reset());
        ASSERT_TRUE(StandIn().SetRoute(L"/closed", {{L"auth", c.auth}}));
        CHangGuard guard("authentication against challenges that never end", 30000);
        EXPECT_EQ(6, PostAndCatch(L"/closed")) << c.auth;
        EXPECT_EQ(0u, message.find(L"Authentication proxy fails.. Last error: ")) << message;
        const int requests = StandIn().Hits(L"/closed");
        EXPECT_GE(requests, c.requests) << c.auth;
        EXPECT_LE(requests, c.requests + 1) << c.auth;
    }
}

TEST_F(HttpClientTest, ReadAllNeedsContentLengthReadChunkDoesNot)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/open-ended", {{L"body", L"abcdef"}, {L"length", L"none"}}));
    {
        CSimpleGetHttpClient client(L"Zentrix", kHost, L"", 0, 80);
        client.Send(L"/open-ended", nullptr);
        CCollectingSink sink;
        try
        {
            client.ReadAll(sink, 16);
            ADD_FAILURE() << "ReadAll without Content-Length";
        }
        catch (const CNetworkException& error)
        {
            EXPECT_EQ(3, error.GetCode());
            EXPECT_EQ(0u, error.GetMessage().find(L"Available data size is unknown.")) << error.GetMessage();
        }
    }
    CSimpleGetHttpClient client(L"Zentrix", kHost, L"", 0, 80);
    client.Send(L"/open-ended", nullptr);
    std::vector<char> buffer;
    DWORD count = 0;
    client.ReadChunk(buffer, count);
    EXPECT_EQ(4096u, buffer.size());
    EXPECT_EQ("abcdef", std::string(buffer.data(), count));
}

TEST_F(HttpClientTest, ReadAllHandsOverEveryPiece)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/long", {{L"body", L"0123456789"}, {L"repeat", L"10000"}, {L"pieces", L"4"}}));
    CSimpleGetHttpClient client(L"Zentrix", kHost, L"", 0, 80);
    client.Send(L"/long", nullptr);
    CCollectingSink sink;
    client.ReadAll(sink, 1000);
    EXPECT_EQ(10000u, sink.data.size());
    EXPECT_EQ(10000u, sink.lastReceived);
    EXPECT_EQ(10000u, sink.announced);
    EXPECT_EQ("0123456789", sink.data.substr(9990));
}

TEST_F(HttpClientTest, ReadWholeJoinsPiecesAndRefusesBadBodies)
{
    struct Case
    {
        CStandInServer::Fields route;
        bool succeeds;
    } cases[] = {
        {{{L"body", L"xy"}, {L"repeat", L"9000"}, {L"pieces", L"5"}, {L"delay_ms", L"20"}}, true},
        {{{L"body", L"xy"}, {L"repeat", L"3000"}, {L"length", L"none"}}, true},
        // Longer than the bound.
        {{{L"body", L"xy"}, {L"repeat", L"1100000"}}, false},
        // Hangs up before the announced length.
        {{{L"body", L"xy"}, {L"repeat", L"3000"}, {L"length", L"short"}}, false},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().SetRoute(L"/reply", c.route));
        const int code = PostAndCatch(L"/reply");
        EXPECT_EQ(c.succeeds ? -1 : 3, code) << c.route.at(L"repeat");
        if (c.succeeds)
        {
            EXPECT_EQ(static_cast<size_t>(std::stoi(c.route.at(L"repeat"))), body.size());
        }
    }
}
