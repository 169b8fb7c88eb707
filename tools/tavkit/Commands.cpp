// The table of subcommands and the argument helpers.
#include "Commands.h"

#include <algorithm>

namespace tavkit::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"render", "write the HTML document of a form's page", RenderCommand},
      {"cgi", "answer one CGI request with a form's page", CgiCommand},
      {"gif", "inspect, decode and encode GIF files", GifCommand},
      {"preview", "paint the design previews of a form's page into a PNG", PreviewCommand},
      {"palette", "write the palette bitmaps of the components as PNG files", PaletteCommand},
      {"design", "serve the visual designer of a form file on 127.0.0.1", DesignCommand},
  };
  return commands;
}

bool WantsHelp(const Args& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return a == "--help" || a == "-h"; });
}

std::string TakeOption(Args& args, const std::string& name, const std::string& fallback) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
    std::string value = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return value;
  }
  return fallback;
}

bool TakeFlag(Args& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

void RejectUnknownOptions(const Args& args) {
  for (const auto& a : args)
    if (a.size() > 1 && a[0] == '-') throw UsageError("unknown option " + a);
}

}  // namespace tavkit::cli
