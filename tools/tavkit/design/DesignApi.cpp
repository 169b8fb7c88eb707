// Reading the members of an edit's body and handing them to the session.
// Bodies come from the network: their nesting is measured by the form-file
// reader's own check before the document is built, since the parser, the
// writer and the destructor of a JSON value all go as deep as the value.
#include "design/DesignApi.h"

#include <cstdint>
#include <optional>
#include <stdexcept>

#include <tavkit/platform/formfile/detail/FormJson.h>
#include "design/PropertyModel.h"

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

std::vector<std::string> Names(const TJson& body, const char* key) {
  if (!body.contains(key) || !body[key].is_array())
    throw std::invalid_argument(std::string(key) + " must be an array of names");
  std::vector<std::string> names;
  for (const TJson& name : body[key]) {
    if (!name.is_string())
      throw std::invalid_argument(std::string(key) + " must be an array of names");
    names.push_back(name.get<std::string>());
  }
  return names;
}

TBatchEdit ReadBatchEdit(const TJson& body) {
  if (!body.is_object()) throw std::invalid_argument("each edit of a batch is an object");
  TBatchEdit edit;
  edit.Route = Text(body, "route");
  edit.Component = Text(body, "component");
  if (edit.Route == "property") {
    if (!body.contains("path") || !body.contains("value"))
      throw std::invalid_argument("a property edit names a path and a value");
    edit.Path = body["path"];
    edit.Value = body["value"];
  } else if (edit.Route == "bounds") {
    edit.Width = Number(body, "width");
    edit.Height = Number(body, "height");
  } else if (edit.Route == "parent") {
    edit.Parent = Text(body, "parent");
  } else if (edit.Route != "delete") {
    throw std::invalid_argument("a batch holds property, bounds, parent and delete edits, not \"" +
                                edit.Route + "\"");
  }
  if (edit.Route == "bounds" || edit.Route == "parent") {
    edit.Left = Number(body, "left");
    edit.Top = Number(body, "top");
  }
  return edit;
}

TEditResult Batch(TDesignSession& session, const TJson& body) {
  if (!body.contains("edits") || !body["edits"].is_array())
    throw std::invalid_argument("edits must be an array");
  if (body["edits"].size() > TDesignSession::MaxBatchEdits)
    throw std::invalid_argument("too many edits in one batch");
  std::vector<TBatchEdit> edits;
  for (const TJson& edit : body["edits"]) edits.push_back(ReadBatchEdit(edit));
  return session.Batch(edits);
}

TEditResult Paste(TDesignSession& session, const TJson& body) {
  if (!body.contains("text") || !body["text"].is_string())
    throw std::invalid_argument("text must be a string");
  std::optional<TPoint> at;
  if (body.contains("left") || body.contains("top"))
    at = TPoint{Number(body, "left"), Number(body, "top")};
  return session.Paste(body["text"].get<std::string>(), Text(body, "parent"), at);
}

}  // namespace

const std::vector<std::string>& EditRoutes() {
  static const std::vector<std::string> routes = {"property", "bounds", "insert", "parent",
                                                  "delete",   "rename", "undo",   "redo",
                                                  "save",     "batch",  "paste"};
  return routes;
}

const std::vector<std::string>& QueryRoutes() {
  static const std::vector<std::string> routes = {"copy", "shared"};
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
  if (route == "batch") return Batch(session, body);
  if (route == "paste") return Paste(session, body);
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

TJson AnswerQuery(TDesignSession& session, const std::string& route, const TJson& body) {
  const std::vector<std::string> names = Names(body, "components");
  try {
    if (route == "copy") return {{"text", session.Copy(names)}};
    if (route == "shared") return DescribeShared(session.Form(), session.Text(), names);
  } catch (const Exception& e) {
    throw std::invalid_argument(e.Message());
  }
  throw std::invalid_argument("no query named " + route);
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
