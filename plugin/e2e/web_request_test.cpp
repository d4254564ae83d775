// A web page can make the browser open the link port and send an HTTP request (a
// text/plain POST needs no permission). Whatever such a request carries must not reach
// the command handler: the connection ends at its first HTTP line and the port serves
// Relaydeck as before.
#include <algorithm>

#include "plugin/e2e/link_session.h"

namespace {

const char* const kRefusedLog = "refused a web request on the link port";

// The body a hostile page would post: the greeting, a folder query and a new server
// connection, each as a command line of its own.
const std::string kBody = ">HELLO< \r\nGETAPPPATH \r\n"
                          "GW_CONNECT type=gui gateUID={EVIL} host=radio.example.org nick=Evil channel=Lobby\r\n";

std::string browserPost(int port)
{
    return "POST /link HTTP/1.1\r\n"
           "Host: 127.0.0.1:" +
           std::to_string(port) +
           "\r\n"
           "Connection: keep-alive\r\n"
           "Content-Length: " +
           std::to_string(kBody.size()) +
           "\r\n"
           "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 "
           "Safari/537.36\r\n"
           "Content-Type: text/plain;charset=UTF-8\r\n"
           "Accept: */*\r\n"
           "Origin: http://pages.example.net\r\n"
           "Sec-Fetch-Site: cross-site\r\n"
           "Sec-Fetch-Mode: no-cors\r\n"
           "Sec-Fetch-Dest: empty\r\n"
           "Referer: http://pages.example.net/\r\n"
           "Accept-Encoding: gzip, deflate, br\r\n"
           "Accept-Language: en-US,en;q=0.9\r\n"
           "\r\n" +
           kBody;
}

std::string websocketUpgrade(int port)
{
    return "GET /chat HTTP/1.1\r\n"
           "Host: localhost:" +
           std::to_string(port) +
           "\r\n"
           "Connection: Upgrade\r\n"
           "Pragma: no-cache\r\n"
           "Upgrade: websocket\r\n"
           "Origin: http://pages.example.net\r\n"
           "Sec-WebSocket-Version: 13\r\n"
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
           "Sec-WebSocket-Extensions: permessage-deflate; client_max_window_bits\r\n"
           "\r\n";
}

class WebRequests : public e2e::LinkSession {
protected:
    size_t refusedLogLines()
    {
        const auto log = client.model().log();
        return size_t(std::count_if(log.begin(), log.end(),
                                    [](const clientsim::LogLine& l) { return l.message == kRefusedLog; }));
    }
    size_t callCount(const std::string& name) const { return client.callsNamed(name).size(); }
};

TEST_F(WebRequests, BrowserRequestsAreRefusedAndRelaydeckConnectsRightAfter)
{
    // Relaydeck is not connected (closed, starting or reconnecting): the browser's
    // connection is the one the plugin greets.
    ::close(fd);
    fd = -1;

    struct Row {
        const char* name;
        std::vector<std::string> writes; // one send each
        std::string before;              // what the connection gets after the greeting
    };
    const std::vector<Row> rows = {
        {"text/plain POST with command lines in its body", {browserPost(port)}, ""},
        {"POST whose body follows in a second segment",
         {browserPost(port).substr(0, 40), browserPost(port).substr(40)},
         ""},
        {"WebSocket upgrade GET, then a command", {websocketUpgrade(port) + "GETAPPPATH \r\n"}, ""},
        {"a Host header line (any case) ends it too", {"host: 127.0.0.1\r\nGETAPPPATH \r\nWHOAMI \r\n"}, ""},
        {"a command before the request line still runs, none after it",
         {"STARTING \r\r\nHEAD /index.html HTTP/1.0\r\n" + kBody},
         "STARTING \r"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const size_t logBefore = refusedLogLines();
        const size_t whoBefore = callCount("getClientLibVersion");
        const int browser = e2e::greetedConnection(port);
        ASSERT_GE(browser, 0);
        for (const std::string& w : r.writes)
            e2e::sendAll(browser, w);
        bool closed = false;
        const std::string got = e2e::readUntil(browser, "", 3000, &closed);
        ::close(browser);
        EXPECT_EQ(got, r.before);
        EXPECT_TRUE(closed) << "the connection stays open";
        ASSERT_TRUE(client.waitIdle());
        EXPECT_EQ(callCount("guiConnect"), 0u) << "a server connection was opened";
        EXPECT_EQ(callCount("getClientLibVersion"), whoBefore) << "the greeting was answered";
        EXPECT_EQ(refusedLogLines(), logBefore + 1);
    }

    // Relaydeck's own session works as before.
    fd = e2e::greetedConnection(port);
    ASSERT_GE(fd, 0);
    send("WHOAMI ");
    EXPECT_EQ(waitFor("WHOAMI").rfind("WHOAMI libVersion=", 0), 0u);
    send("GETAPPPATH ");
    EXPECT_NE(waitFor("APPPATH").find("APPPATH  path="), std::string::npos);
}

TEST_F(WebRequests, RequestInsideRelaydecksSessionEndsThatSession)
{
    // Lines that only HTTP can send end even an established session; the next
    // connection is greeted again.
    send("GETAPPPATH ");
    EXPECT_NE(waitFor("APPPATH").find("APPPATH  path="), std::string::npos);
    e2e::sendAll(fd, "OPTIONS * HTTP/1.1\r\nGETAPPPATH \r\n");
    bool closed = false;
    EXPECT_EQ(e2e::readUntil(fd, "", 3000, &closed), "");
    EXPECT_TRUE(closed);
    ::close(fd);
    fd = e2e::greetedConnection(port);
    ASSERT_GE(fd, 0);
    send("STARTING ");
    EXPECT_EQ(waitFor("STARTING"), "STARTING \r");
}

} // namespace
