#include "U_Curl.h"

#include <curl/curl.h>
#include <mutex>

namespace {

size_t Append(char* data, size_t size, size_t n, void* out) {
  static_cast<std::string*>(out)->append(data, size * n);
  return size * n;
}

// "http://host:port/path?query" -> origin "http://host:port" and target "/path?query".
void Split(const std::string& url, std::string& origin, std::string& target) {
  size_t scheme = url.find("://");
  size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  if (slash == std::string::npos) {
    origin = url;
    target = "/";
  } else {
    origin = url.substr(0, slash);
    target = url.substr(slash);
  }
}

} // namespace

TCurlHttp::TCurlHttp() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  curl_ = curl_easy_init();
  if (!curl_) throw EHttpError("无法创建 HTTP 连接");
}

TCurlHttp::~TCurlHttp() { curl_easy_cleanup(curl_); }

std::string TCurlHttp::Get(const std::string& url) {
  std::string origin, target, body;
  Split(url, origin, target);
  char error[CURL_ERROR_SIZE] = {};
  curl_slist* headers = curl_slist_append(nullptr, "Accept: text/html, */*");
  curl_easy_reset(curl_);
  curl_easy_setopt(curl_, CURLOPT_URL, origin.c_str());
  // The target goes out byte for byte: curl would otherwise re-encode what the program built.
  curl_easy_setopt(curl_, CURLOPT_REQUEST_TARGET, target.c_str());
  curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl_, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
  curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
  // A connection of its own for every request: curl sends a request again by itself when a
  // kept-alive connection turns out dead, and a batch the server committed before it closed
  // the connection must never go out twice.
  curl_easy_setopt(curl_, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(curl_, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, 15L);
  curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error);
  CURLcode rc = curl_easy_perform(curl_);
  curl_slist_free_all(headers);
  curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, nullptr);
  if (rc != CURLE_OK)
    throw EHttpError(std::string("连接服务器失败: ") + (error[0] ? error : curl_easy_strerror(rc)));
  long status = 0;
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299)
    throw EHttpError("服务器返回错误 HTTP " + std::to_string(status), status);
  return body;
}
