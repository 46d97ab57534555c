// The full download of a large shop (100,000 goods and their stock) from y6server into a fresh
// store, against fetching the very same replies with curl and importing them with the sqlite3
// shell (one curl and one sqlite3 process for the whole run, iconv for GBK).
#include "TestSupport.h"
#include "U_Config.h"
#include "U_Curl.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_PublicApi.h"
#include "U_PublicSync.h"
#include "U_Schema.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

// Our HTTP client, keeping the query URLs for the reference to fetch again.
class TRecording : public THttp {
public:
  std::vector<std::string> Urls;
  std::string Get(const std::string& url) override {
    if (url.find("&tablesql=") != std::string::npos) Urls.push_back(url);
    return http_.Get(url);
  }

private:
  TCurlHttp http_;
};

std::string Decode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return GbkToUtf8(out);
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

int Run(const std::string& cmd) {
  int rc = std::system(cmd.c_str());
  if (rc != 0) std::fprintf(stderr, "failed (%d): %s\n", rc, cmd.c_str());
  return rc;
}

} // namespace

int main(int argc, char** argv) {
  const int goods = argc > 1 ? std::atoi(argv[1]) : 100000;
  TTempDir work;
  std::fprintf(stderr, "starting y6server with %d goods...\n", goods);
  TServerProcess server(Y6SERVER, work.Path() / "server", {"--goods", std::to_string(goods)});

  // Ours.
  fs::create_directories(work.Path() / "ours");
  const std::string ours = (work.Path() / "ours").string() + "/";
  CreateStore(ours + "WebC.db");
  TDM dm(ours + "WebC.db", std::make_unique<TScriptedMessageBox>());
  DM = &dm;
  auto recording = std::make_unique<TRecording>();
  TRecording* rec = recording.get();
  dm.IHTTP = std::move(recording);
  ProgramDir = QString::fromStdString(ours);
  SetServerAddress(server.BaseURL(), "demo");
  SetOnlineSession(LoginRequest("demo", "zhang", "123456"));
  Session.LoginName = "zhang";
  Session.Password = "123456";
  Session.Roles = "|1|";
  auto t0 = std::chrono::steady_clock::now();
  DownloadAll();
  dm.ADOC.Close();
  auto t1 = std::chrono::steady_clock::now();
  const double oursTime = Seconds(t0, t1);
  long rows = 0;
  for (auto& t : dm.ADOC.TableNames()) rows += AsInt(dm.ADOC.Query("Select Count(*) From " + t).Rows[0][0]);
  dm.ADOC.Close();

  // The reference: the same requests, one curl run, iconv, one sqlite3 run.
  const fs::path ref = work.Path() / "ref";
  fs::create_directories(ref);
  CreateStore((ref / "WebC.db").string());
  std::ofstream curlConfig(ref / "curl.cfg"), convert(ref / "convert.sh");
  static const std::regex fromTable(R"( From ([^ ,]+))");
  for (size_t i = 0; i < rec->Urls.size(); ++i) {
    std::string page = (ref / ("page" + std::to_string(i))).string();
    curlConfig << "url = \"" << rec->Urls[i] << "\"\noutput = \"" << page << ".gbk\"\n";
    convert << "iconv -f GBK -t UTF-8 '" << page << ".gbk' > '" << page << ".csv'\n";
  }
  curlConfig.close();
  convert.close();
  auto t2 = std::chrono::steady_clock::now();
  if (Run("curl -s -K '" + (ref / "curl.cfg").string() + "'") != 0) return 1;
  auto tCurl = std::chrono::steady_clock::now();
  if (Run("bash '" + (ref / "convert.sh").string() + "'") != 0) return 1;
  auto tIconv = std::chrono::steady_clock::now();
  // The import script names the columns of each page's header, so the rows go in by name.
  {
    std::ofstream sql(ref / "import.sql");
    for (size_t i = 0; i < rec->Urls.size(); ++i) {
      std::string page = (ref / ("page" + std::to_string(i))).string();
      std::ifstream csv(page + ".csv");
      std::string header;
      std::getline(csv, header);
      while (!header.empty() && (header.back() == '\r' || header.back() == '\n')) header.pop_back();
      std::smatch m;
      std::string q = Decode(rec->Urls[i].substr(rec->Urls[i].find("&tablesql=") + 10));
      std::regex_search(q, m, fromTable);
      sql << ".import --csv '" << page << ".csv' tmp\n"
          << "INSERT INTO \"" << m[1].str() << "\" (" << header << ") SELECT * FROM tmp;\nDROP TABLE tmp;\n";
    }
  }
  if (Run("sqlite3 -bail '" + (ref / "WebC.db").string() + "' < '" + (ref / "import.sql").string() + "'") != 0)
    return 1;
  auto t3 = std::chrono::steady_clock::now();
  const double refTime = Seconds(t2, t3);
  TStore check((ref / "WebC.db").string());
  long refRows = 0;
  for (auto& t : check.TableNames()) refRows += AsInt(check.Query("Select Count(*) From " + t).Rows[0][0]);
  check.Close();
  DM = nullptr;

  std::printf("ours: %ld rows in %zu pages in %.2f s (%.0f rows/s)\n", rows, rec->Urls.size(), oursTime,
              rows / oursTime);
  std::printf("curl + iconv + sqlite3: %ld rows in %.2f s (%.0f rows/s; curl %.2f s, iconv %.2f s, sqlite3 %.2f s)\n",
              refRows, refTime, refRows / refTime, Seconds(t2, tCurl), Seconds(tCurl, tIconv), Seconds(tIconv, t3));
  if (refRows != rows)
    std::printf("note: %ld rows in ours, %ld in the reference\n", rows, refRows);
  std::printf("replicate ratio %.2f (goal ≤ 1.5)\n", oursTime / refTime);
  return 0;
}
