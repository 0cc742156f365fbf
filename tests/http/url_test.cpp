// Addresses of the update client: splitting, the request bytes, redirect targets, and
// file paths joined below a base address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/url.h"

using namespace velmo::http;

TEST(Url, SplitsHostPortAndPath) {
    struct Row {
        const char* url;
        UrlProblem problem;
        const char* host;
        int port;
        const char* path;
        bool secure = false;
    };
    const std::vector<Row> rows = {
        {"http://www.site.example/velmo-maj/list.pcfg", UrlProblem::None, "www.site.example", 80, "velmo-maj/list.pcfg"},
        {"HTTP://127.0.0.1:8080/a/b", UrlProblem::None, "127.0.0.1", 8080, "a/b"},
        {"http://host:/x", UrlProblem::None, "host", 80, "x"},
        {"http://host/a#frag", UrlProblem::None, "host", 80, "a"},
        {"https://host/a", UrlProblem::None, "host", 443, "a", true},
        {"HTTPS://127.0.0.1:8443/velmo-maj/", UrlProblem::None, "127.0.0.1", 8443, "velmo-maj/", true},
        {"https://host:/x", UrlProblem::None, "host", 443, "x", true},
        {"https://host:80/x", UrlProblem::None, "host", 80, "x", true},
        {"httpss://host/a", UrlProblem::NotHttp, "", 0, ""},
        {"ftp://host/a", UrlProblem::NotHttp, "", 0, ""},
        {"https://user@host/a", UrlProblem::Malformed, "", 0, ""},
        {"host/a", UrlProblem::Malformed, "", 0, ""},
        {"http:///a", UrlProblem::Malformed, "", 0, ""},
        {"http://user:pw@host/a", UrlProblem::Malformed, "", 0, ""},
        {"http://[::1]/a", UrlProblem::Malformed, "", 0, ""},
        {"http://host:0/a", UrlProblem::Malformed, "", 0, ""},
        {"http://host:80a/a", UrlProblem::Malformed, "", 0, ""},
        {"http://host/a\r\nX-Evil: 1", UrlProblem::Malformed, "", 0, ""},
    };
    for (const Row& r : rows) {
        HttpUrl url;
        url.host = "untouched";
        EXPECT_EQ(parseUrl(r.url, url), r.problem) << r.url;
        if (r.problem != UrlProblem::None) {
            EXPECT_EQ(url.host, "untouched") << r.url;
            continue;
        }
        EXPECT_EQ(url.host, r.host) << r.url;
        EXPECT_EQ(url.port, r.port) << r.url;
        EXPECT_EQ(url.path, r.path) << r.url;
        EXPECT_EQ(url.secure, r.secure) << r.url;
        // Written again, the address keeps its scheme and names its port only when needed.
        HttpUrl again;
        EXPECT_EQ(parseUrl(formatUrl(url), again), UrlProblem::None) << r.url;
        EXPECT_EQ(again.secure, url.secure) << r.url;
        EXPECT_EQ(again.port, url.port) << r.url;
    }
    EXPECT_EQ(formatUrl(HttpUrl{"h", 443, "a", true}), "https://h/a");
    EXPECT_EQ(formatUrl(HttpUrl{"h", 80, "a", true}), "https://h:80/a");
}

TEST(Url, RequestBytesNameThePortOnlyWhenNot80AndEncodeWhatARequestLineCannotHold) {
    HttpUrl url{"www.site.example", 80, "velmo-maj/maj_2010000/_Fichier_Maj_xxx.pcfg"};
    EXPECT_EQ(requestText(url),
              "GET /velmo-maj/maj_2010000/_Fichier_Maj_xxx.pcfg HTTP/1.1\r\nAccept: */*\r\n"
              "Host: www.site.example\r\nConnection: close\r\n\r\n");
    url = {"127.0.0.1", 8080, ""};
    EXPECT_EQ(requestText(url), "GET / HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1:8080\r\nConnection: close\r\n\r\n");
    // Over TLS the Host line names 443 as little as plain HTTP names 80.
    EXPECT_EQ(requestText(HttpUrl{"www.site.example", 443, "", true}),
              "GET / HTTP/1.1\r\nAccept: */*\r\nHost: www.site.example\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(requestText(HttpUrl{"www.site.example", 80, "", true}),
              "GET / HTTP/1.1\r\nAccept: */*\r\nHost: www.site.example:80\r\nConnection: close\r\n\r\n");
    url.path = "a b/\xe9t\xe9\x7f\"%41?q=1";
    EXPECT_EQ(requestTarget(url), "/a%20b/%E9t%E9%7F%22%41?q=1");
}

TEST(Url, LocationsResolveAgainstTheAddressAsked) {
    const HttpUrl base{"127.0.0.1", 8080, "velmo-maj/maj_2/file.velmo?x=1"};
    struct Row {
        const char* location;
        const char* resolved;
    };
    const std::vector<Row> rows = {
        {"http://other.example/x", "http://other.example/x"},
        {"//mirror.example:81/y", "http://mirror.example:81/y"},
        {"/velmo-maj/", "http://127.0.0.1:8080/velmo-maj/"},
        {"moved.velmo", "http://127.0.0.1:8080/velmo-maj/maj_2/moved.velmo"},
        {"../maj_3/f?y=2#top", "http://127.0.0.1:8080/velmo-maj/maj_3/f?y=2"},
        {"/a/./b/../../../c", "http://127.0.0.1:8080/c"},
        {"other?next=http://evil.example/", "http://127.0.0.1:8080/velmo-maj/maj_2/other?next=http://evil.example/"},
        {"", ""},
        {"/a\r\nSet-Cookie: x", ""},
    };
    for (const Row& r : rows) EXPECT_EQ(resolveLocation(base, r.location), r.resolved) << r.location;

    // From an https address, a Location keeps https unless it names its own scheme.
    const HttpUrl secure{"127.0.0.1", 8443, "velmo-maj/f", true};
    EXPECT_EQ(resolveLocation(secure, "//mirror.example/y"), "https://mirror.example/y");
    EXPECT_EQ(resolveLocation(secure, "/g"), "https://127.0.0.1:8443/g");
    EXPECT_EQ(resolveLocation(secure, "http://127.0.0.1/g"), "http://127.0.0.1/g");
}

TEST(Url, FilePathsAreEncodedPartByPart) {
    EXPECT_EQ(encodePath("skins/defaut/fond.velmo"), "skins/defaut/fond.velmo");
    EXPECT_EQ(encodePath("mon skin/100%#?.velmo"), "mon%20skin/100%25%23%3F.velmo");
    EXPECT_EQ(encodePath("\xe9t\xe9/~a_b-c"), "%E9t%E9/~a_b-c");
}
