// Routes of the designer's server. Requests must name this server as their
// host and edits must come as JSON, which a page of another site cannot
// send here without the browser asking first: another site open in the same
// browser can neither read nor change the design.
#include "design/DesignServer.h"

#include <httplib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/controls/Controls.h>
#include "design/DesignAssets.h"
#include "design/PreviewPainter.h"
#include "design/PropertyModel.h"

namespace tavkit::design {

namespace fs = std::filesystem;

namespace {

const char* const kPalettePage = "Taveno";
const char* const kJson = "application/json";

std::string EscapeHtml(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '&':
        escaped += "&amp;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string ContentTypeOfFile(std::string extension) {
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const std::pair<const char*, const char*> types[] = {
      {".png", "image/png"},   {".gif", "image/gif"},      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"}, {".bmp", "image/bmp"},      {".svg", "image/svg+xml"},
      {".css", "text/css"},    {".js", "text/javascript"}, {".html", "text/html"},
      {".htm", "text/html"},   {".txt", "text/plain"},     {".class", "application/java"},
  };
  for (const auto& [ending, type] : types)
    if (extension == ending) return type;
  return "application/octet-stream";
}

void SendJson(httplib::Response& response, const TJson& body, int status = 200) {
  response.status = status;
  // Names and texts hold Latin-1 bytes the form file turned into UTF-8; the
  // dump replaces whatever is not valid UTF-8 rather than failing.
  response.set_content(body.dump(-1, ' ', false, TJson::error_handler_t::replace), kJson);
}

void SendError(httplib::Response& response, int status, const std::string& message) {
  SendJson(response, {{"error", message}}, status);
}

// A request's JSON body; an exception for anything else.
TJson Body(const httplib::Request& request) {
  TJson body = TJson::parse(request.body);
  if (!body.is_object()) throw std::invalid_argument("the request must hold a JSON object");
  return body;
}

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

struct TDesignServer::TImpl {
  TDesignSession& Session;
  TRenderFunction Render;
  std::string ImageDir;
  httplib::Server Http;
  std::mutex Lock;  // the session, the library and the render cache
  int Port = 0;
  bool Bound = false;
  int RenderedVersion = -1;
  TRenderResult Rendered;

  TImpl(TDesignSession& session, TRenderFunction render, std::string imageDir)
      : Session(session), Render(std::move(render)), ImageDir(std::move(imageDir)) {}

  TJson State() {
    return {{"file", Session.FileName()},     {"version", Session.Version()},
            {"modified", Session.Modified()}, {"canUndo", Session.CanUndo()},
            {"canRedo", Session.CanRedo()},   {"design", DescribeForm(Session.Form())}};
  }

  TJson Outcome(const TEditResult& result) {
    TJson body = {{"changed", result.Changed}, {"state", State()}};
    if (!result.Name.empty()) body["name"] = result.Name;
    if (!result.Warning.empty()) body["warning"] = result.Warning;
    if (!result.Error.empty()) body["error"] = result.Error;
    return body;
  }

  bool FromThisHost(const httplib::Request& request) const {
    const std::string host = request.get_header_value("Host");
    const std::string port = ":" + std::to_string(Port);
    return host == "127.0.0.1" + port || host == "localhost" + port;
  }

  // An edit: the body read, the session changed under the lock, the
  // outcome with the new state sent back.
  void Edit(httplib::Server& http, const char* path,
            std::function<TEditResult(const TJson& body)> edit) {
    http.Post(path, [this, edit](const httplib::Request& request, httplib::Response& response) {
      TJson body;
      try {
        body = Body(request);
      } catch (const std::exception& e) {
        SendError(response, 400, e.what());
        return;
      }
      std::lock_guard<std::mutex> guard(Lock);
      try {
        SendJson(response, Outcome(edit(body)));
      } catch (const std::invalid_argument& e) {
        SendError(response, 400, e.what());
      }
    });
  }

  void Routes();
  void RenderPage(httplib::Response& response);
  void ServeFormFile(const std::string& relative, httplib::Response& response);
};

void TDesignServer::TImpl::Routes() {
  Http.set_payload_max_length(static_cast<std::size_t>(MaxFormFileSize));
  Http.set_pre_routing_handler([this](const httplib::Request& request,
                                      httplib::Response& response) {
    if (!FromThisHost(request)) {
      SendError(response, 403, "this server answers only on 127.0.0.1");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (request.method == "POST" && request.get_header_value("Content-Type").rfind(kJson, 0) != 0) {
      SendError(response, 415, "edits are sent as application/json");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  Http.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        try {
          std::rethrow_exception(failure);
        } catch (const std::exception& e) {
          SendError(response, 500, e.what());
        } catch (...) {
          SendError(response, 500, "unknown failure");
        }
      });

  Http.Get(R"(/|/index\.html|/designer\.css|/designer\.js)",
           [](const httplib::Request& request, httplib::Response& response) {
             const auto asset = FindAsset(request.path);
             if (!asset) {
               response.status = 404;
               return;
             }
             response.set_content(std::string(asset->Body), asset->ContentType.c_str());
           });
  Http.Get("/api/state", [this](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> guard(Lock);
    SendJson(response, State());
  });
  Http.Get("/api/palette", [this](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> guard(Lock);
    SendJson(response, DescribePalette(kPalettePage));
  });
  Http.Get("/api/component", [this](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard<std::mutex> guard(Lock);
    try {
      SendJson(response,
               DescribeComponent(Session.Form(), Session.Text(), request.get_param_value("name")));
    } catch (const Exception& e) {
      SendError(response, 404, e.Message());
    }
  });
  Http.Get(R"(/preview/([A-Za-z_][A-Za-z0-9_]*)\.png)", [this](const httplib::Request& request,
                                                               httplib::Response& response) {
    std::lock_guard<std::mutex> guard(Lock);
    auto* control = dynamic_cast<TControl*>(Session.Form().FindComponent(request.matches[1].str()));
    if (control == nullptr) {
      SendError(response, 404, "no control named " + request.matches[1].str());
      return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_content(PaintPreviewPng(*control), "image/png");
  });
  Http.Get(R"(/palette/([A-Za-z_][A-Za-z0-9_]*)\.png)",
           [this](const httplib::Request& request, httplib::Response& response) {
             std::lock_guard<std::mutex> guard(Lock);
             const std::string png = PaletteIconPng(request.matches[1].str());
             if (png.empty()) {
               response.status = 404;
               return;
             }
             response.set_content(png, "image/png");
           });
  // The rendered page stands at /page/, so that the files it names relative
  // to itself (pictures beside the form) are found in the form's folder.
  Http.Get("/page/",
           [this](const httplib::Request&, httplib::Response& response) { RenderPage(response); });
  Http.Get(R"(/page/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
    ServeFormFile(request.matches[1].str(), response);
  });
  if (!ImageDir.empty()) Http.set_mount_point("/images", ImageDir);

  Edit(Http, "/api/property", [this](const TJson& body) {
    if (!body.contains("path") || !body.contains("value"))
      throw std::invalid_argument("a property edit names a path and a value");
    return Session.SetProperty(Text(body, "component"), body["path"], body["value"]);
  });
  Edit(Http, "/api/bounds", [this](const TJson& body) {
    return Session.SetBounds(Text(body, "component"), Number(body, "left"), Number(body, "top"),
                             Number(body, "width"), Number(body, "height"));
  });
  Edit(Http, "/api/insert", [this](const TJson& body) {
    return Session.Insert(Text(body, "class"), Text(body, "parent"), Number(body, "left"),
                          Number(body, "top"));
  });
  Edit(Http, "/api/parent", [this](const TJson& body) {
    return Session.SetParent(Text(body, "component"), Text(body, "parent"), Number(body, "left"),
                             Number(body, "top"));
  });
  Edit(Http, "/api/delete",
       [this](const TJson& body) { return Session.Delete(Text(body, "component")); });
  Edit(Http, "/api/rename", [this](const TJson& body) {
    return Session.Rename(Text(body, "component"), Text(body, "name"));
  });
  Edit(Http, "/api/undo", [this](const TJson&) {
    TEditResult result;
    result.Changed = Session.Undo();
    return result;
  });
  Edit(Http, "/api/redo", [this](const TJson&) {
    TEditResult result;
    result.Changed = Session.Redo();
    return result;
  });
  Edit(Http, "/api/save", [this](const TJson&) {
    TEditResult result;
    try {
      Session.Save();
    } catch (const Exception& e) {
      result.Error = e.Message();
    }
    return result;
  });
}

void TDesignServer::TImpl::RenderPage(httplib::Response& response) {
  std::lock_guard<std::mutex> guard(Lock);
  if (RenderedVersion != Session.Version()) {
    Rendered = Render(Session.Text(), Session.FileName());
    RenderedVersion = Session.Version();
  }
  response.set_header("Cache-Control", "no-store");
  if (Rendered.Ok) {
    // The library writes Latin-1 bytes.
    response.set_content(Rendered.Html, "text/html; charset=iso-8859-1");
    return;
  }
  response.status = 500;
  response.set_content(
      "<!DOCTYPE html><html><body><pre style=\"color:#a00\">The page cannot be "
      "rendered:\n" +
          EscapeHtml(Rendered.Error) + "</pre></body></html>",
      "text/html; charset=utf-8");
}

void TDesignServer::TImpl::ServeFormFile(const std::string& relative, httplib::Response& response) {
  // Only files below the form's folder: no step up, no absolute path.
  const fs::path path(relative);
  bool inside = !relative.empty() && path.is_relative();
  for (const auto& part : path) inside = inside && part != "..";
  std::error_code error;
  const fs::path file = fs::path(Session.Folder()) / path;
  if (!inside || !fs::is_regular_file(file, error)) {
    response.status = 404;
    return;
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  response.set_content(bytes.str(), ContentTypeOfFile(file.extension().string()).c_str());
}

TDesignServer::TDesignServer(TDesignSession& session, TRenderFunction render, std::string imageDir)
    : FImpl(std::make_unique<TImpl>(session, std::move(render), std::move(imageDir))) {
  FImpl->Routes();
}

TDesignServer::~TDesignServer() {
  Stop();
}

int TDesignServer::Bind(int port) {
  const int bound = port == 0 ? FImpl->Http.bind_to_any_port("127.0.0.1")
                              : (FImpl->Http.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) throw Exception("Cannot listen on 127.0.0.1 port " + std::to_string(port));
  FImpl->Port = bound;
  FImpl->Bound = true;
  return bound;
}

void TDesignServer::Run() {
  if (FImpl->Bound) FImpl->Http.listen_after_bind();
}

void TDesignServer::Stop() {
  FImpl->Http.stop();
}

}  // namespace tavkit::design
