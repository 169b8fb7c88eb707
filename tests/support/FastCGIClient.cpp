// Processes for the CGI and FastCGI tests: each run has a deadline, so that
// a program that never answers fails its test instead of holding the suite.
#include "FastCGIClient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace tavkit::testsupport {

namespace fs = std::filesystem;

namespace {

constexpr auto RunLimit = std::chrono::seconds(60);

int ExitStatusOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void SetEnvironment(const CgiEnv& env) {
  clearenv();
  for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
}

[[noreturn]] void Exec(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

CgiAnswer RunCgiProgram(const std::vector<std::string>& command, const CgiEnv& env,
                        const std::string& body) {
  // Standard input is a socket so that a program that stops reading early
  // gives an error here instead of a SIGPIPE that would end the test.
  int in[2], out[2], err[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
      pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("cannot make pipes");
  const std::string program = command.at(0);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("cannot fork");
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(in[1], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    SetEnvironment(env);
    Exec(command);
  }
  close(in[1]);
  close(out[1]);
  close(err[1]);
  fcntl(in[0], F_SETFL, O_NONBLOCK);
  CgiAnswer answer;
  std::size_t sent = 0;
  if (body.empty()) shutdown(in[0], SHUT_WR);
  bool outOpen = true, errOpen = true, inOpen = !body.empty();
  const auto deadline = std::chrono::steady_clock::now() + RunLimit;
  while ((outOpen || errOpen) && std::chrono::steady_clock::now() < deadline) {
    pollfd fds[3] = {{outOpen ? out[0] : -1, POLLIN, 0},
                     {errOpen ? err[0] : -1, POLLIN, 0},
                     {inOpen ? in[0] : -1, POLLOUT, 0}};
    if (poll(fds, 3, 100) < 0 && errno != EINTR) break;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? answer.Output : answer.Errors).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
    if (inOpen && fds[2].revents != 0) {
      const ssize_t n = send(in[0], body.data() + sent, body.size() - sent, MSG_NOSIGNAL);
      if (n > 0) sent += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) inOpen = false;
      if (sent == body.size()) {
        shutdown(in[0], SHUT_WR);
        inOpen = false;
      }
    }
  }
  close(in[0]);
  close(out[0]);
  close(err[0]);
  if (outOpen || errOpen) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  answer.ExitStatus = ExitStatusOf(status);
  if (outOpen || errOpen) throw std::runtime_error(program + " did not end within a minute");
  return answer;
}

CgiAnswer SendFastCGIRequest(const fs::path& socket, const CgiEnv& env, const std::string& body) {
  return RunCgiProgram({"cgi-fcgi", "-bind", "-connect", socket.string()}, env, body);
}

int FastCGIWorker::Listen() {
  char folder[] = "/tmp/tavkit-fcgi-XXXXXX";
  if (mkdtemp(folder) == nullptr) throw std::runtime_error("cannot make a folder for a socket");
  FSocket = fs::path(folder) / "socket";
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (fd < 0 || FSocket.string().size() >= sizeof address.sun_path)
    throw std::runtime_error("cannot listen on " + FSocket.string());
  std::strcpy(address.sun_path, FSocket.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0)
    throw std::runtime_error("cannot listen on " + FSocket.string());
  return fd;
}

void FastCGIWorker::Start(const std::function<void()>& child) {
  const int listening = Listen();
  FPid = fork();
  if (FPid < 0) throw std::runtime_error("cannot fork");
  if (FPid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(listening, STDIN_FILENO);
    if (listening != STDIN_FILENO) close(listening);
    child();
    _exit(127);
  }
  close(listening);
}

FastCGIWorker::FastCGIWorker(const std::function<int()>& serve) {
  Start([&serve] { _exit(serve()); });
}

FastCGIWorker::FastCGIWorker(const std::vector<std::string>& command, const CgiEnv& env) {
  Start([&] {
    SetEnvironment(env);
    Exec(command);
  });
}

FastCGIWorker::~FastCGIWorker() {
  if (FPid > 0) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  }
  fs::remove_all(FSocket.parent_path());
}

int FastCGIWorker::Stop() {
  if (FPid > 0) kill(FPid, SIGTERM);
  return Wait();
}

int FastCGIWorker::Wait() {
  if (FPid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      return ExitStatusOf(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(FPid, SIGKILL);
  waitpid(FPid, nullptr, 0);
  FPid = -1;
  return -1;
}

}  // namespace tavkit::testsupport
