// Requests of the embedded server: files from the page directory and the RAM
// disk, the replies' exact lines, uploads, the tokenizer's limits and names
// that try to leave the page directory.
#include <cstring>
#include <filesystem>
#include <string>

#include "http_fixture.h"
#include "httpd/http_request.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"

using std::string;

namespace {

class HttpRequest : public HttpTest {};

string ramFile(const char *name)
{
    int h = RA_fileOpen(name, "r");
    if (h < RA_HANDLE_BASE) {
        if (h >= 0) RA_fileClose(h);
        return "<none>";
    }
    string text;
    for (int ch; (ch = RA_fileGetc(h)) >= 0;) text += static_cast<char>(ch);
    RA_fileClose(h);
    return text;
}

} // namespace

TEST_F(HttpRequest, FilesOfThePageDirectoryWithTheirHeaders)
{
    setDocumentBase("www/");
    std::filesystem::create_directories(path("www"));
    writeFile(path("www/start.html"), "<html>start</html>");
    writeFile(path("www/pic.gif"), "GIF89a....");
    writeFile(path("www/run.log"), "line\n");
    writeFile(path("www/lib.jar"), "PK");

    string start = get("/");
    EXPECT_EQ(start, "HTTP/1.0 200 OK\r\nServer: Panterm_MW/1.0 (powered by Tarselkit TM)\r\nX-HitCounter: 0\r\n"
                     "Connection: close\r\nContent-Type: text/html\r\nContent-Length: 18\r\n\r\n<html>start</html>");

    string head = request("HEAD /pic.gif HTTP/1.0\r\n\r\n");
    EXPECT_NE(head.find("Content-Type: image/gif\r\nContent-Length: 10\r\n\r\n"), string::npos);
    EXPECT_EQ(body(head), "");

    string log = get("/run.log");
    EXPECT_NE(log.find("Expires: Mon, 01 Jan 1990 00:00:00 GMT\r\nCache-Control: no-cache\r\n"), string::npos);
    EXPECT_EQ(body(log), "line\n");
    EXPECT_EQ(get("/start.html").find("Cache-Control"), string::npos);

    string jar = get("/lib.jar");
    EXPECT_EQ(jar.substr(0, 36), "HTTP/1.1 200 OK\r\nConnection: close\r\n");
    EXPECT_NE(jar.find("Last-Modified: Tue, 18 Jan 2005 02:00:00 GMT\r\nContent-Type: application/x-java-archive"),
              string::npos);

    string missing = get("/nowhere.html");
    EXPECT_EQ(statusLine(missing), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(body(missing), "Syntax Error.\r\n");
    EXPECT_EQ(missing.find("Content-Length"), string::npos);

    string info = get("/cgi-bin/GetSrvInfo.exe");
    string expected = "Server: Panterm_MW/1.0 (powered by Tarselkit TM)\r\nCGI=1\r\nILR=1, V.1.0\r\n";
    EXPECT_EQ(body(info), expected);
    EXPECT_NE(info.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"), string::npos)
        << "the server information has its exact length";
}

TEST_F(HttpRequest, UnknownMethodsAndBrokenLinesGetNothingOrTheSyntaxError)
{
    writeFile(path("start.html"), "x");
    EXPECT_EQ(request("PUT /start.html HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(request(string("\0\0\0GET / HTTP/1.1\r\n\r\n", 21)), "");
    EXPECT_EQ(body(request("GET /start.html\r\n\r\n")), "Syntax Error.\r\n");
    EXPECT_EQ(body(request("GET /start.html HTTP/2.0\r\n\r\n")), "Syntax Error.\r\n");
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?A+B")), "Syntax Error.\r\n"); // a value where the version belongs
    EXPECT_EQ(get("/cgi-bin/RefreshValues.exe?"), "");
}

TEST_F(HttpRequest, UploadsGoIntoTheRamDiskUnlessRefusedOrIncomplete)
{
    EXPECT_EQ(body(post("/data.csv", "a;b\n1;2\n")), "Done.");
    EXPECT_EQ(ramFile("data.csv"), "a;b\n1;2\n");
    string csv = get("/data.csv"); // the RAM disk first
    EXPECT_NE(csv.find("application/x-unknown-content-type-Excel.CSV;charset=iso-8859-1"), string::npos);
    EXPECT_EQ(body(csv), "a;b\n1;2\n");

    EXPECT_EQ(body(post("/dir\\sub/notes.txt", "n")), "Done.");
    EXPECT_EQ(ramFile("notes.txt"), "n");
    for (const char *refused : {"/run.sh", "/x.EXE", "/a.dll", "/b.asp", "/c.pl", "/..", "/dir/"})
        EXPECT_EQ(body(post(refused, "data")), "Syntax Error.\r\n") << refused;
    EXPECT_EQ(ramFile("run.sh"), "<none>");

    // without a length, with a negative one, or with a body that stops short: no file
    EXPECT_EQ(body(request("POST /a.txt HTTP/1.1\r\n\r\nabc")), "Syntax Error.\r\n");
    EXPECT_EQ(body(request("POST /a.txt HTTP/1.1\r\nContent-Length: -5\r\n\r\nabc")), "Syntax Error.\r\n");
    EXPECT_EQ(body(request("POST /a.txt HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\nabc")), "Syntax Error.\r\n");
    EXPECT_EQ(ramFile("a.txt"), "<none>");
}

TEST_F(HttpRequest, LargeUploadsStreamThroughTheBufferAndAFullRamDiskLeavesNoFile)
{
    string big(100000, 'x');
    for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(body(post("/big.bin", big)), "Done.");
    EXPECT_EQ(ramFile("big.bin"), big);

    string huge(RA_SizeMax + 1000, 'y');
    EXPECT_EQ(body(post("/huge.bin", huge)), "Syntax Error.\r\n");
    EXPECT_EQ(ramFile("huge.bin"), "<none>");
    EXPECT_EQ(body(post("/small.txt", "still room")), "Done."); // the failed upload gave its blocks back
}

TEST_F(HttpRequest, ExpectContinueComesBeforeTheAnswer)
{
    string answer = post("/up.txt", "hello", "Expect: 100-continue\r\n");
    EXPECT_EQ(answer.substr(0, answer.find("\r\n\r\n") + 4),
              "HTTP/1.1 100 Continue\r\nServer: Panterm_MW/1.0 (powered by Tarselkit TM)\r\n\r\n");
    EXPECT_NE(answer.find("HTTP/1.0 200 OK", 10), string::npos);
    EXPECT_EQ(ramFile("up.txt"), "hello");
}

TEST_F(HttpRequest, NoFileOutsideThePageDirectoryIsServed)
{
    std::filesystem::create_directories(path("www/sub"));
    setDocumentBase("www/");
    writeFile(path("secret.txt"), "SECRET");
    writeFile(path("www/sub/ok.txt"), "fine");
    EXPECT_EQ(body(get("/sub/ok.txt")), "fine");
    EXPECT_EQ(body(get("/sub/%6fk.txt")), "fine");
    for (const char *attempt :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/sub/..%2f..%2fsecret.txt", "/sub/../../secret.txt",
          "/%2F"
          "etc%2Fpasswd",
          "//etc/passwd", "/..\\secret.txt", "/..%5csecret.txt", "/sub%00/../../secret.txt", "/%2e%2e",
          "/sub/%2E%2E/%2E%2E/secret.txt"}) {
        string answer = get(attempt);
        EXPECT_EQ(statusLine(answer), "HTTP/1.0 404 Not Found") << attempt;
        EXPECT_EQ(answer.find("SECRET"), string::npos) << attempt;
    }
    EXPECT_EQ(get("/../secret.txt").find("root:"), string::npos);
}

TEST_F(HttpRequest, NamesAndValuesAtTheirLimits)
{
    string name63(63, 'n'), name64(64, 'n');
    string value4095(4095, 'v'), value4096(4096, 'v');
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?" + name63)), "0");
    // a name of 64 characters is taken as empty, and an empty name is refused
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?" + name64)), "Syntax Error.\r\n");
    EXPECT_EQ(body(get("/cgi-bin/writeVal.exe?" + name64 + "+1")), "Syntax Error.\r\n");
    // values: 4095 characters are taken (the store keeps 255), 4096 are taken as empty
    EXPECT_EQ(body(get("/cgi-bin/writeVal.exe?" + name63 + "+" + value4095)), string(255, 'v'));
    EXPECT_EQ(body(get("/cgi-bin/writeVal.exe?" + name63 + "+" + value4096)), "");
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?" + name63)), "");
}

TEST_F(HttpRequest, EscapesThatAreCutOrGiveNulStayHarmless)
{
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?A%4")), "0");
    EXPECT_EQ(body(get("/cgi-bin/writeVal.exe?A%4+x%2")), "x%2");
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?A%4")), "x%2");
    EXPECT_EQ(body(get("/cgi-bin/readVal.exe?A%00B")), "Syntax Error.\r\n");
    EXPECT_EQ(body(get("/%")), "Syntax Error.\r\n");
    EXPECT_EQ(body(get("/%4")), "Syntax Error.\r\n");
}

TEST_F(HttpRequest, TokenizerSplitsAtBlanksPlusAndQuestionMark)
{
    HttpContext c;
    char in[HTTP_BUFFER_SIZE + 1] = "GET /a/b.exe?x+y  z\r\n\r\nrest";
    char out[HTTP_BUFFER_SIZE];
    http_initContext(&c, in, static_cast<int>(std::strlen(in)), HTTP_BUFFER_SIZE, out, sizeof out, nullptr, nullptr,
                     nullptr);
    const char *expected[] = {"GET", "/a/b.exe?", "x", "+", "y", "z", ""};
    for (const char *e : expected) EXPECT_STREQ(getNextSymbol(&c), e);
    EXPECT_STREQ(getNextSymbol(&c), "rest"); // past the end of the request the next symbols follow
    EXPECT_STREQ(getNextSymbol(&c), "");     // no reader: the end
}
