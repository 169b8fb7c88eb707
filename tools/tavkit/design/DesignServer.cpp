// Routes of the designer's server. Requests must name this server as their
// host and carry the designer's token, and edits must come as JSON, which a
// page of another site cannot send here without the browser asking first:
// neither another user of the machine nor another site open in the same
// browser can read or change the design.
#include "design/DesignServer.h"

#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/controls/Controls.h>
#include "design/DesignApi.h"
#include "design/DesignAssets.h"
#include "design/DesignFiles.h"
#include "design/PageFiles.h"
#include "design/PreviewPainter.h"
#include "design/PropertyModel.h"

namespace tavkit::design {

namespace fs = std::filesystem;

namespace {

const char* const kPalettePage = "Taveno";
const char* const kJson = "application/json";

// The designer's own pages load their script, style sheet and pictures from
// here and nothing else; no script is written into a page.
const char* const kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; frame-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

// A file the rendered page shows is at most as large as a form file.
constexpr std::int64_t kMaxPageFileSize = MaxFormFileSize;

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

// Equal texts, in a time that does not tell how much of a guess was right.
bool SameSecret(const std::string& given, const std::string& secret) {
  if (given.size() != secret.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < secret.size(); ++i)
    difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
  return difference == 0;
}

// The value of a cookie of the request, or empty.
std::string CookieValue(const httplib::Request& request, const std::string& name) {
  const std::string cookies = request.get_header_value("Cookie");
  std::size_t at = 0;
  while (at < cookies.size()) {
    std::size_t end = cookies.find(';', at);
    if (end == std::string::npos) end = cookies.size();
    std::size_t start = at;
    while (start < end && cookies[start] == ' ') ++start;
    const std::string pair = cookies.substr(start, end - start);
    if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return std::string();
}

bool HasControlByte(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// Why 127.0.0.1:port cannot be had.
std::string ListenFailure(int port) {
  const std::string cannot = "Cannot listen on 127.0.0.1 port " + std::to_string(port) + ": ";
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return cannot + std::strerror(errno);
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  const int error = errno;
  close(fd);
  if (error == EADDRINUSE && bound != 0) return "port " + std::to_string(port) + " is in use";
  return cannot + (bound == 0 ? "the server would not start" : std::strerror(error));
}

}  // namespace

struct TDesignServer::TImpl {
  TDesignSession& Session;
  TRenderFunction Render;
  std::string ImageDir;
  std::string Token = RandomHex(32);
  httplib::Server Http;
  std::mutex Lock;  // the session, the library and the render cache
  int Port = 0;
  bool Bound = false;
  int RenderedVersion = -1;
  TRenderResult Rendered;
  std::set<std::string> RenderedFiles;  // what the rendered page names beside it

  TImpl(TDesignSession& session, TRenderFunction render, std::string imageDir)
      : Session(session), Render(std::move(render)), ImageDir(std::move(imageDir)) {}

  // Cookies belong to a host, not a port: each designer has its own name.
  std::string CookieName() const { return "tavkit-design-" + std::to_string(Port); }

  // Whether the request carries the token, in the address or in the cookie
  // set from it; the address sets the cookie for the requests that follow.
  bool Authorised(const httplib::Request& request, httplib::Response& response) const {
    if (SameSecret(request.get_param_value("token"), Token)) {
      response.set_header("Set-Cookie",
                          CookieName() + "=" + Token + "; Path=/; HttpOnly; SameSite=Strict");
      return true;
    }
    return SameSecret(CookieValue(request, CookieName()), Token);
  }

  TJson State() {
    return {{"file", Session.FileName()},     {"version", Session.Version()},
            {"modified", Session.Modified()}, {"canUndo", Session.CanUndo()},
            {"canRedo", Session.CanRedo()},   {"new", Session.IsNew()},
            {"warnings", Session.Warnings()}, {"design", DescribeForm(Session.Form())}};
  }

  TJson Outcome(const TEditResult& result) {
    TJson body = {{"changed", result.Changed}, {"state", State()}};
    if (!result.Name.empty()) body["name"] = result.Name;
    if (!result.Names.empty()) body["names"] = result.Names;
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
  void Edit(const std::string& route) {
    Http.Post("/api/" + route,
              [this, route](const httplib::Request& request, httplib::Response& response) {
                try {
                  const TJson body = ReadEditBody(request.body);
                  std::lock_guard<std::mutex> guard(Lock);
                  SendJson(response, Outcome(ApplyEdit(Session, route, body)));
                } catch (const std::invalid_argument& e) {
                  SendError(response, 400, e.what());
                }
              });
  }

  // A question about the design, answered under the lock.
  void Query(const std::string& route) {
    Http.Post("/api/" + route,
              [this, route](const httplib::Request& request, httplib::Response& response) {
                try {
                  const TJson body = ReadEditBody(request.body);
                  std::lock_guard<std::mutex> guard(Lock);
                  SendJson(response, AnswerQuery(Session, route, body));
                } catch (const std::invalid_argument& e) {
                  SendError(response, 400, e.what());
                }
              });
  }

  void Routes();
  void EnsureRendered();
  void RenderPage(httplib::Response& response);
  void ServeFormFile(const std::string& relative, httplib::Response& response);
};

void TDesignServer::TImpl::Routes() {
  Http.set_payload_max_length(static_cast<std::size_t>(MaxFormFileSize));
  // No second listener may share the port (SO_REUSEPORT would let one).
  Http.set_socket_options([](socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  Http.set_pre_routing_handler([this](const httplib::Request& request,
                                      httplib::Response& response) {
    // What the browser must not guess the type of, or run beside the
    // designer's own script.
    response.set_header("X-Content-Type-Options", "nosniff");
    if (request.path.rfind("/page/", 0) != 0 && request.path.rfind("/images/", 0) != 0)
      response.set_header("Content-Security-Policy", kContentSecurityPolicy);
    if (!FromThisHost(request)) {
      SendError(response, 403, "this server answers only on 127.0.0.1");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (HasControlByte(request.path)) {
      SendError(response, 400, "a path holds no control characters");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!Authorised(request, response)) {
      SendError(response, 403,
                "this designer answers only the address it printed at start, with its token");
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
      const std::string name = request.get_param_value("name");
      TJson described = DescribeComponent(Session.Form(), Session.Text(), name);
      if (auto* control = dynamic_cast<TControl*>(&FindDesignComponent(Session.Form(), name))) {
        const TElementPicture shown = ReadElementPicture(*control, Session.Folder());
        if (!shown.Error.empty()) described["pictureError"] = shown.Error;
      }
      SendJson(response, described);
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
    response.set_content(PaintPreviewPng(*control, Session.Folder()), "image/png");
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

  for (const std::string& route : EditRoutes()) Edit(route);
  for (const std::string& route : QueryRoutes()) Query(route);
}

void TDesignServer::TImpl::EnsureRendered() {
  if (RenderedVersion == Session.Version()) return;
  Rendered = Render(Session.Text(), Session.FileName());
  RenderedVersion = Session.Version();
  RenderedFiles = Rendered.Ok ? PageFiles(Rendered.Html) : std::set<std::string>();
}

void TDesignServer::TImpl::RenderPage(httplib::Response& response) {
  std::lock_guard<std::mutex> guard(Lock);
  EnsureRendered();
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
  std::lock_guard<std::mutex> guard(Lock);
  EnsureRendered();
  const std::string name = NormalPageName(relative);
  std::error_code error;
  const std::string folder = fs::canonical(Session.Folder(), error).string();
  std::string bytes;
  if (name.empty() || RenderedFiles.count(name) == 0 || error ||
      !ReadFileBelow(folder, name, kMaxPageFileSize, bytes)) {
    response.status = 404;
    return;
  }
  response.set_content(bytes, ContentTypeOfFile(fs::path(name).extension().string()).c_str());
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
  if (bound <= 0) throw Exception(ListenFailure(port));
  FImpl->Port = bound;
  FImpl->Bound = true;
  return bound;
}

const std::string& TDesignServer::Token() const {
  return FImpl->Token;
}

void TDesignServer::Run() {
  if (FImpl->Bound) FImpl->Http.listen_after_bind();
}

void TDesignServer::Stop() {
  FImpl->Http.stop();
}

}  // namespace tavkit::design
