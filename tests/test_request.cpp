// What the client puts on the wire: the request encoding and the request URLs.
#include "TestSupport.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_PublicApi.h"

#include <gtest/gtest.h>

namespace {

// Answers every request with the next queued reply and keeps the URLs.
class TRecordingHttp : public THttp {
public:
  std::vector<std::string> Urls;
  std::vector<std::string> Replies;
  std::string Get(const std::string& url) override {
    Urls.push_back(url);
    if (Replies.empty()) return {};
    std::string r = Replies.front();
    Replies.erase(Replies.begin());
    return r;
  }
};

class Requests : public ::testing::Test {
protected:
  void SetUp() override {
    DM = &dm;
    auto h = std::make_unique<TRecordingHttp>();
    http = h.get();
    dm.IHTTP = std::move(h);
    SetServerAddress("http://127.0.0.1:8080/y6/webservice/api.aspx?", "demo");
    SetOnlineSession("sid=abc&db=demo");
  }
  void TearDown() override {
    DM = nullptr;
    SetOnlineSession("");
  }
  TFreshStore s;
  TDM dm{s.Dir.Dir() + "WebC.db", std::make_unique<TScriptedMessageBox>()};
  TRecordingHttp* http = nullptr;
};

TEST(RequestEncoding, BytesOfTheUrl) {
  struct Case {
    const char *text, *request, *value;
  } const cases[] = {
      {"Select * From T Where 名称 Like '%a%'", "Select%20%2A%20From%20T%20Where%20%C3%FB%B3%C6%20Like%20'%25a%25'",
       "Select%20%2A%20From%20T%20Where%20%C3%FB%B3%C6%20Like%20'%25a%25'"},
      {"a<b>#c", "a%3Cb%3E%23c", "a%3Cb%3E%23c"},
      {"'x&y+z',(1)=?", "'x&y+z',(1)=?", "'x%26y%2Bz',(1)=?"},
      {"line1\r\nline2\tend", "line1\r\nline2\tend", "line1%0D%0Aline2%09end"},
  };
  for (auto& c : cases) {
    std::string gbk = Utf8ToGbk(c.text);
    EXPECT_EQ(RequestEncode(gbk), c.request) << c.text;
    EXPECT_EQ(ValueEncode(gbk), c.value) << c.text;
  }
}

TEST_F(Requests, EachRequestIsTheBaseTheSessionAndItsParameters) {
  http->Replies = {"ID,名称\r\n", " SO-20141208-0001\r\n", "0", "", "sid=new&db=demo"};
  QueryRequest("Select ID From 客户信息 Where 名称 Like '%张&李%'");
  EXPECT_EQ(BillNumberRequest("SO"), "SO-20141208-0001");
  EXPECT_TRUE(BatchRequest(" Update T Set a=1 If @@Error>0 GoTo IsError"));
  HeartbeatRequest(*dm.IHTTP);
  EXPECT_EQ(LoginRequest("demo", "张经理", "p&#1"), "sid=new&db=demo");
  const std::string base = "http://127.0.0.1:8080/y6/webservice/api.aspx?sid=abc&db=demo";
  ASSERT_EQ(http->Urls.size(), 5u);
  EXPECT_EQ(http->Urls[0], base + "&tablesql=Select%20ID%20From%20%BF%CD%BB%A7%D0%C5%CF%A2%20Where%20%C3%FB%B3%C6%20"
                                  "Like%20'%25%D5%C5%26%C0%EE%25'");
  EXPECT_EQ(http->Urls[1], base + "&GetSOCode=1");
  EXPECT_EQ(http->Urls[2], base + "&singlesql=Begin%20Tran%20Update%20T%20Set%20a=1%20If%20@@Error%3E0%20GoTo%20IsError"
                                  "%20Commit%20Tran%20IsError:If%20@@TranCount%3E0%20Rollback%20Tran");
  EXPECT_EQ(http->Urls[3], base + "&isonline=1");
  EXPECT_EQ(http->Urls[4], "http://127.0.0.1:8080/y6/webservice/api.aspx?ver=1.0&db=demo&dbName=demo&uid=%D5%C5%BE%AD"
                           "%C0%ED&pwd=p%26%231");
}

TEST_F(Requests, OnlyTheReplyZeroIsACommit) {
  for (const char* reply : {"1", "error: 违反约束", "", "0\r\n", " 0"}) {
    http->Replies = {Utf8ToGbk(reply)};
    std::string got;
    EXPECT_FALSE(BatchRequest(" Delete From T", &got)) << reply;
    EXPECT_EQ(got, reply);
  }
}

} // namespace
