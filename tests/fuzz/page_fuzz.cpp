// Fuzz target: the pages' handling of a request (its path, query, headers, cookie, sign-in
// form and an answer to a prompt), as bytes from a connection, by the fleet's page and a
// test station's. Every answer is HTTP with the security headers, and the API and the
// reports answer 200 only to a request that carries the token.

#include "cli/promptdesk.h"
#include "cli/stationboard.h"
#include "cli/stationpage.h"
#include "outputs/web.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace dialkite;

namespace {

void check(bool condition, const char *what, const std::string &answer)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n%.400s\n", what, answer.c_str());
        std::abort();
    }
}

constexpr char kToken[] = "fuzz-token-7c1d93";

WebServer &server()
{
    static QTemporaryDir dir;
    static WebServer page([] {
        WebOptions options;
        options.token = QString::fromLatin1(kToken);
        options.history = dir.filePath(QStringLiteral("none.sqlite"));
        options.hosts = {QStringLiteral("shop-pc.lan")};
        return options;
    }());
    return page;
}

cli::StationPage &station()
{
    static cli::StationBoard board({{QStringLiteral("a"), QStringLiteral("/dev/ttyUSB0")}});
    static cli::PromptDesk desk(&board);
    static cli::StationPage page(
        [] {
            board.begin(QStringLiteral("a"), QStringLiteral("quick.suite"), 1);
            board.runEnded(QStringLiteral("a"), true, "<!DOCTYPE html><title>report</title>");
            WebOptions options;
            options.token = QString::fromLatin1(kToken);
            return options;
        }(),
        board, desk);
    return page;
}

void checkAnswer(const std::string &request, const std::string &answer)
{
    check(answer.rfind("HTTP/1.1 ", 0) == 0, "an answer that is not HTTP", answer);
    check(answer.find("\r\nContent-Security-Policy: default-src 'none'") != std::string::npos,
          "an answer without its security headers", answer);
    // The request's target: the first line's second word.
    const size_t first = request.find(' ');
    const bool guarded =
        first != std::string::npos && (request.compare(first + 1, 5, "/api/") == 0 ||
                                       request.compare(first + 1, 8, "/report/") == 0);
    if (guarded && answer.rfind("HTTP/1.1 200", 0) == 0)
        check(request.find(kToken) != std::string::npos, "the API opened without the token",
              answer);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string request(reinterpret_cast<const char *>(data), size);
    // Each input from its own address, so that wrong tokens of earlier ones do not make
    // every later answer 429.
    static unsigned counter = 0;
    ++counter;
    const std::string peer = "10." + std::to_string((counter >> 16) & 255) + "." +
                             std::to_string((counter >> 8) & 255) + "." +
                             std::to_string(counter & 255);
    checkAnswer(request, server().answer(request, peer));
    checkAnswer(request, station().answer(request, peer));
    return 0;
}
