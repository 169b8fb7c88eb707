// The designer's web server on 127.0.0.1: the UI's files, a JSON API over
// the design session (the form tree, the palette, component properties,
// every edit, batches of edits, copy and paste as form file text, and the
// properties several components share), the design previews and palette pictures as PNG files, and
// the rendered page with its server images and the pictures it names beside
// the form. Every request must carry the random token of the address the
// designer prints. The library is not made for threads, so one lock guards
// the session for every request.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "design/DesignSession.h"
#include "design/PageRenderer.h"

namespace tavkit::design {

// Renders a form text as if saved as the given file.
using TRenderFunction =
    std::function<TRenderResult(const std::string& formText, const std::string& formFile)>;

class TDesignServer {
 public:
  // imageDir is served under /images/: the folder the renderer writes the
  // page's server images into.
  TDesignServer(TDesignSession& session, TRenderFunction render, std::string imageDir);
  ~TDesignServer();
  TDesignServer(const TDesignServer&) = delete;
  TDesignServer& operator=(const TDesignServer&) = delete;

  // Binds to 127.0.0.1 on port (0: any free port) and returns the port.
  // Raises Exception saying why when the port cannot be had ("port N is in
  // use": no second designer shares a port).
  int Bind(int port);
  // The secret every request carries, as "?token=" in the address (which
  // sets a cookie for the requests that follow) or in that cookie.
  const std::string& Token() const;
  // Serves until Stop; returns at once when not bound.
  void Run();
  // May be called from any thread.
  void Stop();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace tavkit::design
