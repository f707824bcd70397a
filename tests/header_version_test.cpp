// Header collection and version extraction of the release probe. No platform header: these
// also run natively under the sanitizers.
#include "update/header_version.h"
#include "update/proxy_settings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

// Feeds each line through the header function as libcurl does, one line a call.
std::string collect(std::initializer_list<std::string> lines)
{
    std::string headerBuffer;
    for (std::string line : lines) {
        const std::size_t taken = header_callback(line.data(), 1, line.size(), &headerBuffer);
        EXPECT_EQ(taken, line.size());
    }
    return headerBuffer;
}

} // namespace

TEST(HeaderCallback, KeepsEveryLineInOrderWithItsLineEnd)
{
    const std::string headers =
        collect({"HTTP/1.1 307 Temporary Redirect\r\n", "Location: /a_8u432b06.msi\r\n", "\r\n"});
    EXPECT_EQ(headers, "HTTP/1.1 307 Temporary Redirect\r\nLocation: /a_8u432b06.msi\r\n\r\n");
}

TEST(HeaderCallback, StopsAPeerThatSendsHeadersWithoutEnd)
{
    std::string headerBuffer;
    std::string line(1000, 'x');
    std::size_t lines = 0;
    while (header_callback(line.data(), 1, line.size(), &headerBuffer) == line.size()) {
        ASSERT_LT(++lines, 1000U);
    }
    EXPECT_LE(headerBuffer.size(), maxHeaderBytes);
    EXPECT_GE(headerBuffer.size(), maxHeaderBytes - line.size());
}

TEST(VersionFromHeaders, TakesTheVersionOutOfTheRedirectedInstallerName)
{
    const std::string headers =
        collect({"HTTP/2 307\r\n", "content-type: text/plain\r\n",
                 "location: https://github.com/adoptium/temurin8-binaries/releases/download/"
                 "jdk8u432-b06/OpenJDK8U-jre_x86-32_windows_hotspot_8u432b06.msi\r\n",
                 "date: Tue, 08 Dec 2026 01:00:00 GMT\r\n", "\r\n"});
    EXPECT_EQ(versionFromHeaders(headers), "8u432b06");
}

TEST(VersionFromHeaders, TheLastInstallerNameCounts)
{
    EXPECT_EQ(versionFromHeaders("link: a_8u422b05.msi\r\nlocation: b_8u432b06.msi\r\n\r\n"), "8u432b06");
    EXPECT_EQ(versionFromHeaders("location: x_8u292b10.msi?download=1\r\n"), "8u292b10");
}

TEST(VersionFromHeaders, NoResponseMeansNoVersion)
{
    EXPECT_EQ(versionFromHeaders(""), "");
}

TEST(VersionFromHeaders, TextThatIsNotAPlainVersionIsRefused)
{
    // Without ".msi" the cut runs from the last "_" to the end of all headers.
    EXPECT_EQ(versionFromHeaders("HTTP/1.1 200 OK\r\nx-trace_id: 8u432b06\r\n\r\n"), "");
    // Without "_" the cut runs from the start of the headers.
    EXPECT_EQ(versionFromHeaders("location: /8u432b06.msi\r\n"), "");
    for (const char* hostile : {"location: /a_..\\..\\Windows\\evil.msi\r\n", "location: /a_../../x.msi\r\n",
                                "location: /a_8u432b06\\..\\..\\x.msi\r\n", "location: /a_8u432b06 x.msi\r\n",
                                "location: /a_8u432b06\r\nx: y.msi\r\n", "location: /a_8U432B06.msi\r\n",
                                "location: /a_8u432b06-evil.msi\r\n", "location: /a_.msi\r\n"}) {
        EXPECT_EQ(versionFromHeaders(hostile), "") << hostile;
    }
}

TEST(VersionFromHeaders, AVeryLongVersionIsRefused)
{
    EXPECT_EQ(versionFromHeaders("location: /a_8u" + std::string(400, '1') + "b06.msi\r\n"), "");
}

TEST(ProxySettings, TheProxyForTheServicesScheme)
{
    const struct {
        const char* list;
        const char* scheme;
        const char* proxy;
    } cases[] = {
        {"proxy.corp:8080", "https", "proxy.corp:8080"},
        {"proxy.corp:8080", "http", "proxy.corp:8080"},
        {"http=h1:80;https=h2:443", "https", "h2:443"},
        {"http=h1:80;https=h2:443", "http", "h1:80"},
        {"HTTPS=h2:443 http=h1:80", "https", "h2:443"},
        {"ftp=f:21", "https", ""},
        {"http://proxy.corp:3128", "https", "proxy.corp:3128"},
        {"", "https", ""},
        {"10.0.0.1:3128;10.0.0.2:3128", "https", "10.0.0.1:3128"},
        // Nothing but host and port reaches libcurl.
        {"user:pw@proxy:80", "https", ""},
        {"socks=s:1080;https=evil/x:1", "https", ""},
        {"https=h:1:2", "https", ""},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(proxyForScheme(row.list, row.scheme), row.proxy) << row.list << " " << row.scheme;
    }
}

TEST(ProxySettings, TheBypassListInLibcurlsTerms)
{
    bool local = false;
    EXPECT_EQ(noProxyList("*.corp.example;<local>;10.0.0.1", local), "corp.example,10.0.0.1");
    EXPECT_TRUE(local);
    EXPECT_EQ(noProxyList("Intranet  localhost", local), "intranet,localhost");
    EXPECT_FALSE(local);
    EXPECT_EQ(noProxyList("", local), "");
    EXPECT_EQ(noProxyList("bad/entry;ok.example", local), "ok.example");
}

TEST(ProxySettings, SchemeAndHostOfTheServiceUrl)
{
    EXPECT_EQ(urlScheme("HTTPS://API.Adoptium.net/v3"), "https");
    EXPECT_EQ(urlHost("HTTPS://API.Adoptium.net/v3"), "api.adoptium.net");
    EXPECT_EQ(urlHost("http://127.0.0.1:18423/x"), "127.0.0.1");
    EXPECT_EQ(urlHost("http://intranet"), "intranet");
    EXPECT_EQ(urlHost("no-scheme"), "");
}
