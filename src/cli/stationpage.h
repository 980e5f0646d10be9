#pragma once

// A test station's page (dialkite-cli test --http): a tile per box with its
// identification, the step it is at, the time since it began, the steps it has done with
// their measured times and limits, its verdict in colour; the questions of the suite's
// prompts as buttons on their box's tile; the runs that ended, each with its report.
//
//   /                the page (its script and style served from here, Korean texts)
//   /api/station     the board as JSON
//   /api/events      the board again each time it changes (Server-Sent Events)
//   /api/answer      POST {"id": N, "answer": "예"}: answers a waiting question
//   /report/N        run N's report
//
// Guarded as the fleet's page is: this PC only unless a token, its names only, a session
// cookie after signing in, a content security policy on every answer, everything from a
// box shown as text. An answer must come as JSON from the page's own origin, so a page
// elsewhere cannot answer for the operator.

#include "outputs/web.h"

#include <memory>
#include <string>

namespace dialkite::cli {

class PromptDesk;
class StationBoard;

class StationPage {
public:
    // `options`' history is not used; `desk` takes the answers.
    StationPage(WebOptions options, StationBoard &board, PromptDesk &desk);
    ~StationPage();

    bool start(QString *error);
    int port() const;
    // The answer to one request given as its bytes (tests and fuzzing).
    std::string answer(const std::string &request, const std::string &peer = "127.0.0.1");

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace dialkite::cli
