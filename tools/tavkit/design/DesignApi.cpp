// Reading the members of an edit's body and handing them to the session.
// Bodies come from the network: their nesting is measured by the form-file
// reader's own check before the document is built, since the parser, the
// writer and the destructor of a JSON value all go as deep as the value.
#include "design/DesignApi.h"

#include <cstdint>
#include <stdexcept>

#include <tavkit/platform/formfile/detail/FormJson.h>

namespace tavkit::design {

namespace {

std::string Text(const TJson& body, const char* key) {
  if (!body.contains(key)) return std::string();
  if (!body[key].is_string()) throw std::invalid_argument(std::string(key) + " must be a string");
  return body[key].get<std::string>();
}

int Number(const TJson& body, const char* key) {
  if (!body.contains(key) || !body[key].is_number_integer())
    throw std::invalid_argument(std::string(key) + " must be an integer");
  const auto value = body[key].get<std::int64_t>();
  if (value < INT32_MIN || value > INT32_MAX)
    throw std::invalid_argument(std::string(key) + " is out of range");
  return static_cast<int>(value);
}

}  // namespace

const std::vector<std::string>& EditRoutes() {
  static const std::vector<std::string> routes = {
      "property", "bounds", "insert", "parent", "delete", "rename", "undo", "redo", "save"};
  return routes;
}

TJson ReadEditBody(const std::string& body) {
  try {
    // The form reader's parse checks the size, the nesting and the syntax
    // with the messages of form files, before a tree of any depth is built.
    detail::ParseFormJson(body, "Request body: ");
  } catch (const Exception& e) {
    throw std::invalid_argument(e.Message());
  }
  TJson value = TJson::parse(body);
  if (!value.is_object()) throw std::invalid_argument("the request must hold a JSON object");
  return value;
}

TEditResult ApplyEdit(TDesignSession& session, const std::string& route, const TJson& body) {
  if (route == "property") {
    if (!body.contains("path") || !body.contains("value"))
      throw std::invalid_argument("a property edit names a path and a value");
    return session.SetProperty(Text(body, "component"), body["path"], body["value"]);
  }
  if (route == "bounds")
    return session.SetBounds(Text(body, "component"), Number(body, "left"), Number(body, "top"),
                             Number(body, "width"), Number(body, "height"));
  if (route == "insert")
    return session.Insert(Text(body, "class"), Text(body, "parent"), Number(body, "left"),
                          Number(body, "top"));
  if (route == "parent")
    return session.SetParent(Text(body, "component"), Text(body, "parent"), Number(body, "left"),
                             Number(body, "top"));
  if (route == "delete") return session.Delete(Text(body, "component"));
  if (route == "rename") return session.Rename(Text(body, "component"), Text(body, "name"));
  if (route == "undo" || route == "redo") {
    TEditResult result;
    try {
      result.Changed = route == "undo" ? session.Undo() : session.Redo();
    } catch (const EDesignTimeout& e) {
      result.Error = e.Message();
    }
    return result;
  }
  if (route == "save") {
    TEditResult result;
    try {
      session.Save();
    } catch (const Exception& e) {
      result.Error = e.Message();
    }
    return result;
  }
  throw std::invalid_argument("no edit named " + route);
}

void RunDesignTrial(const std::string& input) {
  const TJson trial = TJson::parse(input);
  try {
    const auto session = TDesignSession::ForTrial(trial.at("file").get<std::string>(),
                                                  trial.at("text").get<std::string>());
    if (trial.contains("route"))
      ApplyEdit(*session, trial["route"].get<std::string>(), trial["body"]);
    ReadDesignData(session->Form());
  } catch (const std::exception&) {
    // A refusal is given again, with its message, when the designer does
    // the work itself; the trial only measures that the work ends.
  }
}

}  // namespace tavkit::design
