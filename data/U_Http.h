// The HTTP client the data module owns (IHTTP): one GET at a time, the reply body as the
// bytes received. The server link gives it its implementation; tests may give another.
#pragma once

#include <stdexcept>
#include <string>

// A failed exchange: no connection, a refused or dropped one, a reply status other than 2xx.
class EHttpError : public std::runtime_error {
public:
  explicit EHttpError(const std::string& text, long status = 0) : std::runtime_error(text), status_(status) {}
  long Status() const { return status_; } // the HTTP status, 0 when no reply came
private:
  long status_;
};

class THttp {
public:
  virtual ~THttp() = default;
  // Sends the URL exactly as given and returns the body; throws EHttpError.
  virtual std::string Get(const std::string& url) = 0;
};
