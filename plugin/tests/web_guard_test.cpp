// Which lines end a link connection as a web request.
#include <gtest/gtest.h>

#include "plugin/web_guard.h"

TEST(WebGuard, RequestLinesAndHostHeadersAreWebRequests)
{
    for (const char* line :
         {"GET / HTTP/1.1", "POST /link HTTP/1.1", "PUT /x HTTP/1.0", "HEAD /index.html HTTP/1.0", "OPTIONS * HTTP/1.1",
          "DELETE /a?b=c HTTP/1.1", "PATCH /p HTTP/2", "CONNECT 127.0.0.1:26001 HTTP/1.1", "TRACE / HTTP/1.1",
          "GET /chat HTTP/1.1 trailing", "Host: 127.0.0.1:26001", "host:x", "HOST: localhost"})
        EXPECT_TRUE(rdplugin::isWebRequestLine(line)) << line;
}

TEST(WebGuard, RelaydeckLinesAndLookAlikesAreNot)
{
    for (const char* line :
         {// what Relaydeck sends
          ">HELLO< ", "WHOAMI ", "STARTING ", "GETAPPPATH ", "PING timestamp=1700000000123 err=0",
          "GW_CONNECT type=gui gateUID={G1} host=radio.example.org nick=Gate channel=Main^cLobby",
          "GETCHANNELS scHandler=1 chID=2 type=info", "GETCHANPATH scHandler=1 channel=0 save=1",
          "MSGTOCHAN scHandler=1 message=GET^s/^sHTTP/1.1", "SETCONFIG a=b",
          // near misses: no target, no version, lower-case method, other words
          "GET HTTP/1.1", "GET /", "GET  / HTTP/1.1", "get / HTTP/1.1", "GETX / HTTP/1.1", "POST / http/1.1",
          "CONNECT scHandler=1 status=4 error=0", "Hostname: x", " Host: x", "Hos: x", ""})
        EXPECT_FALSE(rdplugin::isWebRequestLine(line)) << line;
}
