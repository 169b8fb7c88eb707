// The edits of the designer's JSON API: a request body read within the
// bounds of a form file, checked, and applied to the design session. The
// server and the fuzz target share it, so that what is fuzzed is what the
// server runs on every body it is sent.
#pragma once

#include <string>
#include <vector>

#include "design/DesignSession.h"

namespace tavkit::design {

// The edit routes, each served as POST /api/NAME.
const std::vector<std::string>& EditRoutes();

// The routes that answer about the design without changing it, each served
// as POST /api/NAME: "copy" (the form file text of components) and
// "shared" (the properties several components share).
const std::vector<std::string>& QueryRoutes();

// The JSON object of a request body. Raises std::invalid_argument, saying
// why, for anything else: malformed JSON, values nested deeper than a form
// file may nest them, a body larger than a form file, no object.
TJson ReadEditBody(const std::string& body);

// Applies the edit of an EditRoutes route to the session. Raises
// std::invalid_argument for a body that route cannot take (a missing or
// mistyped member); what the design refuses is in the result.
TEditResult ApplyEdit(TDesignSession& session, const std::string& route, const TJson& body);

// The answer of a QueryRoutes route. Raises std::invalid_argument for a
// body that route cannot take or components it cannot answer for.
TJson AnswerQuery(TDesignSession& session, const std::string& route, const TJson& body);

// The work of a trial run (`tavkit design --trial`): input is the JSON a
// session hands over, naming the form file, its text, and the edit to
// make on it when there is one. Loads the text, makes the edit and reads
// the form's data as the designer will. What the design refuses is not
// the trial's business: the designer meets it again when it does the work.
void RunDesignTrial(const std::string& input);

}  // namespace tavkit::design
