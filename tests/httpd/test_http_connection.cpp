// One connection of the server without a socket, on a clock of its own: when
// a request counts as complete, the time limits of head, body, reply and
// drain, the early "100 Continue", and the bounds of a body, a reply and the
// memory of all connections.
#include <string>
#include <vector>

#include "http_fixture.h"
#include "httpd/http_connection.h"

using std::string;

namespace {

class HttpConnection : public HttpTest {
protected:
    void SetUp() override
    {
        HttpTest::SetUp();
        setDocumentBase("www/"); // the program's own directory is never served
    }
    void TearDown() override
    {
        for (HcConnection *k : open_) HC_close(k);
        for (HcConnection *k : open_) delete k;
        EXPECT_EQ(HC_memoryInUse(), 0);
        HttpTest::TearDown();
    }
    HcConnection *open(int64_t now = 0)
    {
        auto *k = new HcConnection;
        HC_open(k, open_.size(), "127.0.0.1", now);
        open_.push_back(k);
        return k;
    }
    // Hands bytes over as the socket would, as long as the connection takes
    // them; answers how many it took.
    static size_t feed(HcConnection *k, const string &bytes, int64_t now)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            char *where = nullptr;
            long room = HC_room(k, &where);
            if (room <= 0) break;
            long n = std::min(room, static_cast<long>(bytes.size() - done));
            bytes.copy(where, static_cast<size_t>(n), done);
            HC_received(k, n, now);
            done += static_cast<size_t>(n);
        }
        return done;
    }
    // Everything unsent, taken by the client at once.
    static string takeReply(HcConnection *k, int64_t now)
    {
        long size = 0;
        const char *data = HC_unsent(k, &size);
        string text(data, static_cast<size_t>(size));
        HC_sent(k, size, now);
        return text;
    }
    std::vector<HcConnection *> open_;
};

string postHead(long length, const string &extra = "")
{
    return "POST /up.txt HTTP/1.1\r\n" + extra + "Content-Length: " + std::to_string(length) + "\r\n\r\n";
}

} // namespace

TEST_F(HttpConnection, ARequestIsAnsweredOnceAllOfItHasArrived)
{
    struct Case {
        const char *name;
        string input;
        bool peerCloses;
        int phase;         // after the input (and the peer's close)
        const char *reply; // in the answer
    } cases[] = {
        {"get", "GET /start.html HTTP/1.1\r\nHost: x\r\n\r\n", false, HC_READY, "200 OK"},
        {"post, body in the head's bytes", postHead(3) + "abc", false, HC_READY, "Done."},
        {"post, body to come", postHead(5000), false, HC_BODY, nullptr},
        {"post, whole body", postHead(5000) + string(5000, 'x'), false, HC_READY, "Done."},
        {"post, body longer than the bound", postHead(HC_MAX_BODY + 1), false, HC_READY, "Syntax Error."},
        {"post, peer ends the body early", postHead(5000) + "short", true, HC_READY, "Syntax Error."},
        {"peer ends the head early", "GET /start.html HTTP/1.1\r\nHo", true, HC_HEAD, nullptr},
    };
    writeFile(path("www/start.html"), "<html>hello</html>");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HcConnection *k = open();
        EXPECT_EQ(feed(k, c.input, 10), c.input.size());
        if (c.peerCloses) {
            EXPECT_EQ(HC_peerClosed(k), c.phase != HC_HEAD);
        }
        EXPECT_EQ(k->phase, c.phase);
        if (!c.reply) continue;
        HC_answer(k, 30);
        EXPECT_NE(takeReply(k, 40).find(c.reply), string::npos);
        EXPECT_EQ(k->phase, HC_DRAIN);
    }
}

TEST_F(HttpConnection, TimeLimitsCountPerConnectionFromWhenItsBytesAreDue)
{
    const HcLimits *l = HC_limits();
    HcConnection *head = open(1000);
    feed(head, "GET / HT", 1100);
    HcConnection *line = open(1000);
    feed(line, "GET / HTTP/1.0\r\n", 1100);
    HcConnection *post = open(1000);
    feed(post, "POST / HTTP/1.0\r\n", 1100); // a POST's head must end
    HcConnection *body = open(0);
    feed(body, postHead(100000), 1000);
    HcConnection *ready = open(0);
    feed(ready, "GET / HTTP/1.1\r\n\r\n", 0);

    struct Step {
        HcConnection *k;
        string bytes; // received at that time first
        int64_t at;
        int open;
        int phase;
    } steps[] = {
        {head, "", 1000 + l->headMs - 1, 1, HC_HEAD},
        {head, "", 1000 + l->headMs, 0, HC_HEAD},
        {line, "", 1100 + l->pauseMs - 1, 1, HC_HEAD},
        {line, "", 1100 + l->pauseMs, 1, HC_READY},
        {post, "", 1100 + l->pauseMs, 1, HC_HEAD},
        {post, "", 1000 + l->headMs, 0, HC_HEAD},
        // a body: nothing counts within the grace time, then the rate
        {body, "", 1000 + l->graceMs, 1, HC_BODY},
        {body, "", 1000 + l->graceMs + 1, 0, HC_BODY},
        {body, string(static_cast<size_t>(l->bytesPerSec), 'x'), 1000 + l->graceMs + 1, 1, HC_BODY},
        {body, "", 1000 + l->graceMs + 1000, 1, HC_BODY},
        {body, "", 1000 + l->graceMs + 1001, 0, HC_BODY},
        // a complete request waits for its answer whatever the time
        {ready, "", 1000000, 1, HC_READY},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.at);
        if (!s.bytes.empty()) feed(s.k, s.bytes, s.at);
        EXPECT_EQ(HC_check(s.k, s.at), s.open);
        EXPECT_EQ(s.k->phase, s.phase);
    }
}

TEST_F(HttpConnection, AReplyTheClientDoesNotTakeIsCutAndAnAnsweredOneDrainsBriefly)
{
    const HcLimits *l = HC_limits();
    writeFile(path("www/big.txt"), string(300000, 'b'));
    HcConnection *stalled = open(0);
    HcConnection *slow = open(0);
    for (HcConnection *k : {stalled, slow}) {
        feed(k, "GET /big.txt HTTP/1.1\r\n\r\n", 0);
        HC_answer(k, 0);
        ASSERT_EQ(k->phase, HC_REPLY);
    }
    // the socket's buffers take much at once, then the client takes nothing
    HC_sent(stalled, 200000, 0);
    EXPECT_EQ(HC_check(stalled, l->stallMs - 1), 1);
    EXPECT_EQ(HC_check(stalled, l->stallMs), 0);
    // taking a little, often, but below the rate
    int64_t t = 0;
    for (; t < l->graceMs + 3000 && HC_check(slow, t); t += 100) HC_sent(slow, l->bytesPerSec / 20, t);
    EXPECT_GT(t, l->graceMs);
    EXPECT_LT(t, l->graceMs + 3000);

    HcConnection *done = open(0);
    feed(done, "GET /start.html HTTP/1.1\r\n\r\n", 0);
    HC_answer(done, 0);
    takeReply(done, 50);
    ASSERT_EQ(done->phase, HC_DRAIN);
    EXPECT_EQ(HC_check(done, 50 + l->drainMs - 1), 1);
    EXPECT_EQ(HC_check(done, 50 + l->drainMs), 0);
}

TEST_F(HttpConnection, TheInterimReplyGoesOutWhenTheHeadArrivesAndOnlyOnce)
{
    HcConnection *k = open();
    feed(k, postHead(4, "Expect: 100-continue\r\n"), 0);
    ASSERT_EQ(k->phase, HC_BODY);
    EXPECT_EQ(takeReply(k, 0).substr(0, 23), "HTTP/1.1 100 Continue\r\n");
    feed(k, "abcd", 10);
    HC_answer(k, 20);
    string rest = takeReply(k, 30);
    EXPECT_EQ(rest.find("100 Continue"), string::npos);
    EXPECT_NE(rest.find("Done."), string::npos);
}

TEST_F(HttpConnection, BodiesAndRepliesStayWithinTheirBounds)
{
    // bodies take memory only while room for one reply is left
    string body(HC_MAX_BODY, 'x');
    long bodies = 0;
    for (int i = 0; i < 20; i++) {
        HcConnection *k = open();
        feed(k, postHead(HC_MAX_BODY), 0);
        if (feed(k, body, 0) == body.size()) bodies++;
        EXPECT_LE(HC_memoryInUse() + HC_MAX_REPLY, HC_MEMORY_BUDGET);
    }
    EXPECT_GE(bodies, 1);
    EXPECT_LT(bodies, 20);
    EXPECT_EQ(HC_canAnswer(), 1);
    for (HcConnection *k : open_) HC_close(k);
    EXPECT_EQ(HC_memoryInUse(), 0);

    // a reply longer than its bound is cut there
    writeFile(path("www/huge.txt"), string(HC_MAX_REPLY + 100000, 'h'));
    HcConnection *k = open();
    feed(k, "GET /huge.txt HTTP/1.1\r\n\r\n", 0);
    HC_answer(k, 0);
    EXPECT_EQ(takeReply(k, 0).size(), static_cast<size_t>(HC_MAX_REPLY));
    EXPECT_EQ(k->replyCut, 1);
}
