#include "host/Security.h"

#include <gtest/gtest.h>

namespace zov::host {
namespace {

TEST(HostAllowed, OnlyTheLoopbackNamesWithOurPort) {
    for (std::string_view good : {"127.0.0.1:8740", "localhost:8740", "[::1]:8740", "LocalHost:8740"})
        EXPECT_TRUE(HostAllowed(good, 8740)) << good;
    EXPECT_TRUE(HostAllowed("127.0.0.1:1", 1));
    EXPECT_TRUE(HostAllowed("127.0.0.1:65535", 65535));

    for (std::string_view bad : {
             "",
             ":8740",
             "127.0.0.1",            // no port
             "127.0.0.1:",
             "localhost",
             "[::1]",
             "127.0.0.1:8741",       // another port
             "127.0.0.1:08740",      // not the canonical number
             "127.0.0.1:+8740",
             "127.0.0.1:8740 ",
             "127.0.0.1:8740x",
             "127.0.0.1:8740:8740",
             "127.0.0.1:0x2224",
             "127.0.0.1:74676",      // 8740 + 65536
             " 127.0.0.1:8740",
             "127.0.0.1.evil.com:8740",  // rebound names
             "localhost.evil.com:8740",
             "evil.com:8740",
             "localhost.:8740",
             "127.1:8740",
             "2130706433:8740",
             "0.0.0.0:8740",
             "::1:8740",
             "[::ffff:127.0.0.1]:8740",
             "[0:0:0:0:0:0:0:1]:8740",
             "user@127.0.0.1:8740",
         })
        EXPECT_FALSE(HostAllowed(bad, 8740)) << bad;
}

TEST(NormaliseOrigin, CanonicalSchemeHostAndPort) {
    EXPECT_EQ(NormaliseOrigin("http://127.0.0.1:8740"), "http://127.0.0.1:8740");
    EXPECT_EQ(NormaliseOrigin("HTTP://LocalHost:8740"), "http://localhost:8740");
    EXPECT_EQ(NormaliseOrigin("http://example.com"), "http://example.com:80");
    EXPECT_EQ(NormaliseOrigin("https://example.com"), "https://example.com:443");
    EXPECT_EQ(NormaliseOrigin("https://example.com:443"), "https://example.com:443");
    EXPECT_EQ(NormaliseOrigin("https://example.com:8443/"), "https://example.com:8443");
    EXPECT_EQ(NormaliseOrigin("http://[::1]:8740"), "http://[::1]:8740");
    EXPECT_EQ(NormaliseOrigin("http://[::1]"), "http://[::1]:80");

    for (std::string_view bad : {
             "",
             "null",
             "example.com",
             "file://",
             "ftp://example.com",
             "ws://127.0.0.1:8740",
             "http://",
             "http://:8740",
             "http://example.com:",
             "http://example.com:0",
             "http://example.com:65536",
             "http://example.com:080",
             "http://example.com:+80",
             "http://example.com:80:80",
             "http://example.com/path",
             "http://example.com?x=1",
             "http://user@example.com",
             "http://exa mple.com",
             "http://example.com ",
             "http://[::1",
             "http://[::1]x:80",
             "http://[]:80",
         })
        EXPECT_EQ(NormaliseOrigin(bad), "") << bad;
}

TEST(OriginPolicy, OwnOriginsAndAdditionsOnly) {
    OriginPolicy policy(8740);
    EXPECT_TRUE(policy.Allowed("http://127.0.0.1:8740"));
    EXPECT_TRUE(policy.Allowed("http://localhost:8740"));
    EXPECT_TRUE(policy.Allowed("http://LOCALHOST:8740"));

    for (std::string_view refused : {"", "null", "http://127.0.0.1:8741", "http://127.0.0.1", "https://127.0.0.1:8740",
                                     "http://127.0.0.1.evil.com:8740", "http://evil.com", "https://docs.example.com"})
        EXPECT_FALSE(policy.Allowed(refused)) << refused;

    EXPECT_TRUE(policy.Allow("https://docs.example.com"));
    EXPECT_TRUE(policy.Allowed("https://docs.example.com"));
    EXPECT_TRUE(policy.Allowed("https://docs.example.com:443"));
    EXPECT_TRUE(policy.Allowed("https://DOCS.example.com"));
    EXPECT_FALSE(policy.Allowed("http://docs.example.com"));  // the scheme counts too
    EXPECT_FALSE(policy.Allowed("https://docs.example.com:8443"));
    EXPECT_FALSE(policy.Allowed("https://example.com"));
    EXPECT_FALSE(policy.Allowed("https://evil.docs.example.com"));

    EXPECT_TRUE(policy.Allow("http://intranet:8080/"));
    EXPECT_TRUE(policy.Allowed("http://intranet:8080"));
    EXPECT_FALSE(policy.Allowed("http://intranet"));

    const std::size_t before = policy.Origins().size();
    EXPECT_TRUE(policy.Allow("https://docs.example.com:443"));  // already there
    for (std::string_view bad : {"null", "docs.example.com", "https://docs.example.com/x", "*", "http://*"})
        EXPECT_FALSE(policy.Allow(bad)) << bad;
    EXPECT_EQ(policy.Origins().size(), before);
    EXPECT_FALSE(policy.Allowed("null"));
}

}  // namespace
}  // namespace zov::host
