// The CGI gateway: the request loop, response output, query string and POST
// body parsing, and the decoding of form values. A CGI request uses standard
// input and output through their file descriptors so that a failed write (a
// web server that hung up, a full disk) is seen and reported instead of
// being lost in a buffer; a FastCGI request uses libfcgi's streams.
#include <tavkit/cgi/WvCGI.h>

#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include <tavkit/cgi/detail/FastCGIConnection.h>
#include <tavkit/platform/base/ErrorLog.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/RequestState.h>

namespace tavkit {

namespace {

const char* const HeaderLine = "Content-Type: text/html\r\n";
const char* const FormContentType = "application/x-www-form-urlencoded";

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

// Writes all bytes to a descriptor. SIGPIPE is held back on this thread for
// the duration, so a reader that went away shows as EPIPE instead of ending
// the process; a SIGPIPE that our write raised is taken off again.
void WriteDescriptor(int fd, const std::string& bytes) {
  sigset_t pipeOnly, previous, pending;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  sigpending(&pending);
  const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
  int error = 0;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (error == EPIPE && !alreadyPending) {
    const timespec noWait{0, 0};
    sigtimedwait(&pipeOnly, nullptr, &noWait);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (error != 0) throw EInOutError("Cannot write to standard output: " + ErrorText(error), error);
}

// Reads up to count bytes from a descriptor, fewer only at its end.
std::int64_t ReadDescriptor(int fd, char* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, buffer + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EInOutError("Cannot read standard input: " + ErrorText(errno), errno);
    if (n == 0) break;
    done += n;
  }
  return done;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trim(const std::string& text) {
  const char* blanks = " \t";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The media type of a Content-Type value, without its parameters.
bool IsFormContentType(const std::string& contentType) {
  std::string type = Trim(contentType.substr(0, contentType.find(';')));
  return strcasecmp(type.c_str(), FormContentType) == 0;
}

// CONTENT_LENGTH as a number; absent or empty means no body. Values too
// long to hold are reported as the largest number, which every limit refuses.
std::int64_t ParseContentLength(const std::optional<std::string>& value) {
  if (!value) return 0;
  std::string digits = Trim(*value);
  if (digits.empty()) return 0;
  std::int64_t length = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') throw EWvBadRequest("Invalid CONTENT_LENGTH \"" + *value + "\"");
    if (length > (INT64_MAX - 9) / 10) return INT64_MAX;
    length = length * 10 + (c - '0');
  }
  return length;
}

// What a request that could not be answered gets instead of its page:
// nothing of the error itself, which is for the server's log.
struct TRefusal {
  int Status;
  const char* Reason;
  const char* Explanation;
};

const TRefusal BadRequest{400, "Bad Request", "The request could not be understood."};
const TRefusal TooLarge{413, "Content Too Large",
                        "The form sent is larger than this page accepts."};
const TRefusal ServerError{500, "Internal Server Error", "The page could not be made just now."};

std::string RefusalPage(const TRefusal& refusal) {
  const std::string title = std::to_string(refusal.Status) + " " + refusal.Reason;
  return "Status: " + title +
         "\r\nContent-Type: text/html\r\n\r\n"
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>" +
         title + "</TITLE></HEAD><BODY><H1>" + refusal.Reason + "</H1><P>" + refusal.Explanation +
         "</P></BODY></HTML>\r\n";
}

// The refusal for an error and the text that names it in the log.
std::pair<const TRefusal*, std::string> Classify(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EWvBadRequest& e) {
    return {&BadRequest, e.what()};
  } catch (const ETooLarge& e) {
    return {&TooLarge, e.Message()};
  } catch (const std::exception& e) {
    return {&ServerError, e.what()};
  } catch (...) {
    return {&ServerError, "an exception that is not a std::exception"};
  }
}

// A log line is one line, whatever the message holds.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

std::string WvDecodeFormValue(const std::string& Value) {
  std::string result;
  result.reserve(Value.size());
  for (std::size_t i = 0; i < Value.size(); ++i) {
    char c = Value[i];
    if (c == '+') {
      result += ' ';
    } else if (c == '%' && i + 2 < Value.size() && HexDigit(Value[i + 1]) >= 0 &&
               HexDigit(Value[i + 2]) >= 0) {
      result += static_cast<char>(HexDigit(Value[i + 1]) * 16 + HexDigit(Value[i + 2]));
      i += 2;
    } else {
      result += c;
    }
  }
  return result;
}

void WvSplitFormVars(const std::string& text, TStrings& list) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t amp = text.find('&', start);
    if (amp == std::string::npos) {
      list.Add(text.substr(start));
      return;
    }
    list.Add(text.substr(start, amp - start));
    start = amp + 1;
  }
}

TWvCGI::TWvCGI(TComponent* owner) : TComponent(owner) {}

TWvCGI::~TWvCGI() {
  if (FLogTaken) SetErrorLogHandler(std::move(FPreviousLog));
}

void TWvCGI::SetMaxContentLength(std::int64_t limit) {
  if (limit < 0) throw Exception("The request body limit cannot be negative");
  FMaxContentLength = limit;
}

void TWvCGI::SetEnvironment(TWvEnvironmentLookup lookup) {
  FEnvironment = std::move(lookup);
}

void TWvCGI::SetInput(TStream* input) {
  FInput = input;
}

void TWvCGI::SetOutput(TStream* output) {
  FOutput = output;
}

void TWvCGI::SetErrorOutput(TStream* errors) {
  FErrors = errors;
}

std::optional<std::string> TWvCGI::GetRequestVariable(const std::string& name) const {
  // A worker's own environment is not the request's.
  if (FFastCGI) return FFastCGI->Param(name);
  if (FEnvironment) return FEnvironment(name);
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void TWvCGI::Write(const std::string& bytes) {
  if (FFastCGI) {
    FFastCGI->Write(bytes);
    return;
  }
  if (FOutput == nullptr) {
    // Anything the application printed through stdio goes out first.
    std::fflush(stdout);
    WriteDescriptor(STDOUT_FILENO, bytes);
    return;
  }
  std::int64_t written = 0;
  try {
    written = FOutput->Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  } catch (const EStreamError& e) {
    throw EInOutError("Cannot write the response: " + e.Message());
  }
  if (written != static_cast<std::int64_t>(bytes.size()))
    throw EInOutError("Cannot write the response: the output took only part of it");
}

void TWvCGI::Send(const std::string& Text) {
  if (!FHeaderSent) Write(HeaderLine);
  FHeaderSent = true;
  Write("\r\n" + Text + "\r\n");
}

std::string TWvCGI::GetQueryString() {
  return GetRequestVariable("QUERY_STRING").value_or("");
}

std::string TWvCGI::ReadBody(std::int64_t length) {
  std::string body(static_cast<std::size_t>(length), '\0');
  std::int64_t got = 0;
  if (FFastCGI) {
    got = FFastCGI->Read(body.data(), length);
  } else if (FInput == nullptr) {
    got = ReadDescriptor(STDIN_FILENO, body.data(), length);
  } else {
    while (got < length) {
      std::int64_t n = FInput->Read(body.data() + got, length - got);
      if (n <= 0) break;
      got += n;
    }
  }
  // A client that sent less than it announced: take what arrived.
  body.resize(static_cast<std::size_t>(got));
  return body;
}

std::int64_t TWvCGI::AnnouncedContentLength() const {
  const std::optional<std::string> announced = GetRequestVariable("CONTENT_LENGTH");
  const std::int64_t length = ParseContentLength(announced);
  if (length > FMaxContentLength)
    throw ETooLargeAs<Exception>("MaxCGIContentLength", FMaxContentLength,
                                 "Request body of " + Trim(announced.value_or("")) +
                                     " bytes exceeds the limit of " +
                                     std::to_string(FMaxContentLength) + " bytes");
  return length;
}

void TWvCGI::AppendBodyVars() {
  if (FBodyRead) return;
  FBodyRead = true;
  if (GetRequestVariable("REQUEST_METHOD").value_or("") != "POST") return;
  if (!IsFormContentType(GetRequestVariable("CONTENT_TYPE").value_or(""))) return;
  const std::int64_t length = AnnouncedContentLength();
  if (length == 0) return;
  WvSplitFormVars(ReadBody(length), *FVariables);
}

void TWvCGI::LoadFormVars() {
  if (!FVariables) FVariables = std::make_unique<TStringList>();
  WvSplitFormVars(GetQueryString(), *FVariables);
  AppendBodyVars();
}

std::string TWvCGI::FormVar(const std::string& VarName, const std::string& DefaultValue) {
  if (FLoadError) std::rethrow_exception(FLoadError);
  if (!FVariables) {
    try {
      LoadFormVars();
    } catch (...) {
      // The body is read only once, so a failed load stays failed rather
      // than answering later calls as if the request had no body.
      FLoadError = std::current_exception();
      throw;
    }
  }
  const std::string prefix = VarName + "=";
  for (const std::string& piece : *FVariables)
    if (piece.compare(0, prefix.size(), prefix) == 0)
      return WvDecodeFormValue(piece.substr(prefix.size()));
  return DefaultValue;
}

bool TWvCGI::Accept() {
  if (!FServingKnown) {
    FServingKnown = true;
    if (!FEnvironment && detail::TFastCGIConnection::StartedAsFastCGI())
      FFastCGI = std::make_unique<detail::TFastCGIConnection>();
    // What the library logs while it answers (a query that failed, a
    // picture not written) belongs in the log of the request's server,
    // which for a FastCGI worker is reached through the request alone.
    FPreviousLog = SetErrorLogHandler([this](const std::string& line) { WriteErrorLine(line); });
    FLogTaken = true;
  }
  if (!FFastCGI) {
    // A CGI process answers the one request it was started for.
    if (FAccepted) return false;
    FAccepted = true;
    return true;
  }
  FHeaderSent = false;
  FBodyRead = false;
  FLoadError = nullptr;
  FVariables.reset();
  if (!FFastCGI->Next()) return false;
  ResetRequestState();
  return true;
}

void TWvCGI::WriteErrorLine(const std::string& line) {
  if (FFastCGI && FFastCGI->InRequest()) {
    FFastCGI->WriteError(line + "\n");
  } else if (FErrors != nullptr) {
    const std::string text = line + "\n";
    FErrors->Write(text.data(), static_cast<std::int64_t>(text.size()));
  } else if (FPreviousLog) {
    FPreviousLog(line);
  } else {
    WriteErrorLineToStandardError(line);
  }
}

bool TWvCGI::Refuse(std::exception_ptr error) {
  const auto [refusal, message] = Classify(error);
  const std::string request = GetRequestVariable("REQUEST_METHOD").value_or("-") + " " +
                              GetRequestVariable("SCRIPT_NAME").value_or("") +
                              GetRequestVariable("PATH_INFO").value_or("");
  std::string line = "error: " + request + " answered " + std::to_string(refusal->Status) + ": " +
                     OneLine(message);
  if (FHeaderSent) {
    line += " (after the page had gone out)";
  } else {
    FHeaderSent = true;
    try {
      Write(RefusalPage(*refusal));
    } catch (const EInOutError& e) {
      line += " (" + e.Message() + ")";
    }
  }
  WriteErrorLine(line);
  return refusal->Status < 500;
}

int TWvCGI::Serve(const TWvRequestHandler& handler) {
  int status = 0;
  while (Accept()) {
    try {
      AnnouncedContentLength();
      handler(*this);
    } catch (...) {
      if (!Refuse(std::current_exception())) status = 1;
    }
  }
  // A worker that served until it was stopped did what it is for.
  return FFastCGI ? 0 : status;
}

namespace WvCGI {

void RegisterClasses() {
  RegisterClass<TWvCGI, TComponent>({});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvCGI"});
}

}  // namespace WvCGI

}  // namespace tavkit
