// The demo shop under lighttpd, nginx or Apache for the end-to-end tests, and the
// HTTP client they check raw answers with.
#include "DemoServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tavkit::demotest {

namespace fs = std::filesystem;

namespace {

class Socket {
 public:
  explicit Socket(int fd) : FFd(fd) {}
  ~Socket() {
    if (FFd >= 0) close(FFd);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Splits a whole HTTP/1.0 answer into status, content type and body.
HttpReply ParseReply(const std::string& answer) {
  const std::size_t end = answer.find("\r\n\r\n");
  if (end == std::string::npos) throw std::runtime_error("no header in the answer: " + answer);
  HttpReply reply;
  std::istringstream head(answer.substr(0, end));
  std::string line;
  std::getline(head, line);
  if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12)
    throw std::runtime_error("not an HTTP status line: " + line);
  reply.Status = std::stoi(line.substr(9, 3));
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && Lower(line.substr(0, colon)) == "content-type")
      reply.ContentType = line.substr(line.find_first_not_of(' ', colon + 1));
  }
  reply.Body = answer.substr(end + 4);
  return reply;
}

// Starts command in a process group of its own with more variables in its
// environment and its output in log; it gets a TERM when this test process
// dies, however it dies.
pid_t Spawn(const std::vector<std::string>& command,
            const std::vector<std::pair<std::string, std::string>>& environment,
            const fs::path& log) {
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string out = log.string();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("cannot fork");
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    if (!freopen(out.c_str(), "a", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Sends signal and waits up to ten seconds: the exit status, or -1 when the
// process did not end (its whole group is killed then).
int StopProcess(pid_t pid, int signal) {
  kill(pid, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(-pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

// A port of 127.0.0.1 that nothing listens on right now.
int FreePort() {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (socket.Get() < 0 || bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
    throw std::runtime_error("no free port");
  return ntohs(address.sin_port);
}

bool Listening(int port) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return socket.Get() >= 0 &&
         connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

// Everything nginx writes stays in folder; as root its workers keep that
// user, since the files and the worker's socket belong to it.
std::string NginxConfig(const fs::path& folder, int port, const fs::path& socket) {
  const std::string f = folder.string();
  std::string config = "daemon off;\nworker_processes 1;\npid " + f + "/nginx.pid;\n";
  if (geteuid() == 0) config += "user root;\n";
  config += "error_log " + f + "/error.log;\nevents { worker_connections 256; }\nhttp {\n";
  config += "  access_log off;\n";
  for (const char* kind : {"client_body", "fastcgi", "proxy", "uwsgi", "scgi"})
    config += "  " + std::string(kind) + "_temp_path " + f + "/temp/" + kind + ";\n";
  config +=
      "  types { text/html html; image/gif gif; }\n"
      "  default_type application/octet-stream;\n"
      "  server {\n"
      "    listen 127.0.0.1:" +
      std::to_string(port) + ";\n    root " + f +
      "/site;\n"
      "    location = /demo {\n"
      "      include /etc/nginx/fastcgi_params;\n"
      "      fastcgi_pass unix:" +
      socket.string() + ";\n    }\n  }\n}\n";
  return config;
}

// Apache refuses to serve as root: its children then run as www-data, which
// may read the site (the worker's socket is open to all).
std::string ApacheConfig(const fs::path& folder, int port, const fs::path& socket) {
  const std::string f = folder.string();
  const std::string modules = "/usr/lib/apache2/modules/";
  std::string config =
      "ServerRoot " + f + "\nPidFile " + f + "/httpd.pid\nErrorLog " + f + "/error.log\n";
  for (const char* module : {"mpm_event", "authz_core", "mime", "proxy", "proxy_fcgi"})
    config +=
        "LoadModule " + std::string(module) + "_module " + modules + "mod_" + module + ".so\n";
  if (geteuid() == 0) config += "User www-data\nGroup www-data\n";
  config += "Listen 127.0.0.1:" + std::to_string(port) +
            "\nServerName 127.0.0.1\nTypesConfig /etc/mime.types\nDocumentRoot " + f +
            "/site\n<Directory " + f + "/site>\n    Require all granted\n</Directory>\n" +
            "ProxyPass \"/demo\" \"unix:" + socket.string() + "|fcgi://localhost/\"\n";
  return config;
}

}  // namespace

HttpReply HttpRequest(int port, const std::string& method, const std::string& target,
                      const std::string& body) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (socket.Get() < 0) throw std::runtime_error("no socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
  std::string request = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
  if (method == "POST")
    request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n";
  request += "\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n =
        send(socket.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("cannot send the request");
    sent += static_cast<std::size_t>(n);
  }
  std::string answer;
  char buffer[16384];
  for (ssize_t n; (n = recv(socket.Get(), buffer, sizeof buffer, 0)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(n));
  return ParseReply(answer);
}

DemoServer::DemoServer(const fs::path& site, int firstPort, const std::vector<std::string>& options,
                       bool brokenOutput)
    : FSite(site) {
  fs::create_directories(site / "images");
  const fs::path urlFile = site.parent_path() / (site.filename().string() + ".url");
  const fs::path log = site.parent_path() / (site.filename().string() + ".log");
  fs::remove(urlFile);
  fs::create_directories(TempFolder());
  const std::string temp = TempFolder().string();
  const std::string script = std::string(TAVKIT_SOURCE_DIR) + "/scripts/serve-demo";
  const std::string port = std::to_string(firstPort);
  std::vector<std::string> command = {"bash",   script,        "--port",     port,
                                      "--site", site.string(), "--url-file", urlFile.string()};
  command.insert(command.end(), options.begin(), options.end());
  command.push_back(TAVKIT_DEMO_DIR);
  std::vector<char*> argv;
  for (std::string& arg : command) argv.push_back(arg.data());
  argv.push_back(nullptr);
  FPid = fork();
  if (FPid < 0) throw std::runtime_error("cannot fork");
  if (FPid == 0) {
    // A group of its own, so that a stray lighttpd can be reached as a
    // group; and a TERM when this test process dies, however it dies.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    setenv("TMPDIR", temp.c_str(), 1);
    const std::string out = log.string();
    if (!freopen(out.c_str(), "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
    int ends[2];
    if (brokenOutput && (pipe(ends) != 0 || dup2(ends[1], 1) < 0 || close(ends[0]) != 0)) _exit(126);
    execv("/bin/bash", argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(urlFile);
    std::string url;
    if (in >> url) {
      FPort = std::stoi(url.substr(url.rfind(':') + 1));
      return;
    }
    int status = 0;
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      throw std::runtime_error("serve-demo ended; see " + log.string());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Stop();
  throw std::runtime_error("serve-demo did not start; see " + log.string());
}

DemoServer::~DemoServer() {
  Stop();
}

fs::path DemoServer::TempFolder() const {
  return FSite.parent_path() / (FSite.filename().string() + ".tmp");
}

std::string DemoServer::Origin() const {
  return "http://127.0.0.1:" + std::to_string(FPort);
}

bool DemoServer::Stop() {
  if (FPid < 0) return true;
  kill(FPid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    ended = waitpid(FPid, &status, WNOHANG) == FPid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!ended) {
    kill(-FPid, SIGKILL);
    waitpid(FPid, &status, 0);
  }
  FPid = -1;
  return ended;
}

SpawnedWorkerDemo::SpawnedWorkerDemo(const fs::path& folder, FrontServer server) : FFolder(folder) {
  fs::create_directories(Site() / "images");
  fs::create_directories(folder / "temp");
  // A socket's path has room for about a hundred bytes: a short folder.
  char sockets[] = "/tmp/tavkit-fcgi.XXXXXX";
  if (mkdtemp(sockets) == nullptr) throw std::runtime_error("cannot make a socket folder");
  FSockets = sockets;
  fs::permissions(FSockets, fs::perms::all);
  const fs::path socket = FSockets / "demo";
  FWorker = Spawn(
      {"spawn-fcgi", "-n", "-M", "0666", "-s", socket.string(), "--",
       std::string(TAVKIT_DEMO_DIR) + "/tavkit-demo"},
      {{"TAVKIT_IMAGE_DIR", (Site() / "images").string() + "/"}, {"TAVKIT_IMAGE_URL", "/images/"}},
      folder / "worker.log");
  const fs::path config = folder / "server.conf";
  const std::vector<std::string> command =
      server == FrontServer::Nginx
          ? std::vector<std::string>{"nginx",
                                     "-p",
                                     folder.string(),
                                     "-c",
                                     config.string(),
                                     "-e",
                                     (folder / "error.log").string()}
          : std::vector<std::string>{"/usr/sbin/apache2", "-f", config.string(), "-DFOREGROUND"};
  // Another process may take the free port before the server does: try again.
  for (int attempt = 0; attempt < 5 && FServer < 0; ++attempt) {
    FPort = FreePort();
    std::ofstream(config) << (server == FrontServer::Nginx ? NginxConfig(folder, FPort, socket)
                                                           : ApacheConfig(folder, FPort, socket));
    FServer = Spawn(command, {}, folder / "server.log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Listening(FPort)) {
      int status = 0;
      if (waitpid(FServer, &status, WNOHANG) == FServer) {
        FServer = -1;
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        Shutdown();
        throw std::runtime_error("the web server did not start; see " + folder.string());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (FServer < 0) {
    Shutdown();
    throw std::runtime_error("the web server did not start; see " + folder.string());
  }
}

SpawnedWorkerDemo::~SpawnedWorkerDemo() {
  Shutdown();
}

void SpawnedWorkerDemo::Shutdown() {
  if (FServer >= 0) StopProcess(FServer, SIGTERM);
  FServer = -1;
  StopWorker();
  if (!FSockets.empty()) fs::remove_all(FSockets);
  FSockets.clear();
}

std::string SpawnedWorkerDemo::Origin() const {
  return "http://127.0.0.1:" + std::to_string(FPort);
}

int SpawnedWorkerDemo::StopWorker() {
  if (FWorker < 0) return -1;
  const int status = StopProcess(FWorker, SIGTERM);
  FWorker = -1;
  return status;
}

fs::path FreshFolder(const std::string& name) {
  const fs::path folder =
      fs::path(TAVKIT_BINARY_DIR) / "demo-tests" / (name + "-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

}  // namespace tavkit::demotest
