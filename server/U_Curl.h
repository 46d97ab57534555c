// The HTTP client on libcurl. The request target is sent exactly as the caller built it
// (the request encoding is the program's own), redirects are not followed, and a reply
// status other than 2xx is an error like a failed connection.
//
// Time limits: none on a request as a whole (a full download may take long), but a
// connection must be made within 15 s and a reply that stalls for 60 s without a byte is
// given up: otherwise a dropped network freezes the cashier's window for good.
#pragma once

#include "U_Http.h"

#include <string>

typedef void CURL;

class TCurlHttp : public THttp {
public:
  TCurlHttp();
  ~TCurlHttp() override;
  TCurlHttp(const TCurlHttp&) = delete;
  TCurlHttp& operator=(const TCurlHttp&) = delete;

  std::string Get(const std::string& url) override;

private:
  CURL* curl_;
};
