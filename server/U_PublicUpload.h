// Draft upload: bills kept locally (服务器 empty) are posted to the server one server batch
// each, under a fresh server number, and renumbered locally once the server holds them.
#pragma once

#include <functional>
#include <string>

// The local and server tables of one kind of bill.
struct TBillKind {
  const char* LocalHeader;  // 进销草稿 or 收付草稿; the lines are in LocalHeader + "明细"
  const char* ServerHeader; // 进销单据 or 收付款单
  bool Business;            // business bills also carry serial numbers
};
extern const TBillKind kBusinessBills;
extern const TBillKind kFinanceBills;

enum class TPostOutcome { Posted, NoNumber, Refused };

// Posts one local bill with the statements build(serverNumber) gives. The server number is
// kept with the bill before the batch goes out; a bill that still carries one is first
// looked up on the server, so a batch committed whose reply was lost is not posted again.
// Posted: the bill, its lines and serial numbers carry the server number and 服务器 is 0.
// Refused (any reply but "0"): nothing changes but the kept number, which is given up.
// A failed exchange is thrown with the number kept.
TPostOutcome PostBill(const TBillKind& kind, const std::string& localNumber,
                      const std::function<std::string(const std::string& serverNumber)>& build,
                      std::string* serverNumber = nullptr);

// The statements of a bill's batch as the upload builds them from the local tables.
std::string UploadStatements(const TBillKind& kind, const std::string& localNumber, const std::string& typeCode,
                             const std::string& serverNumber);

// Uploads every bill of the kind whose 服务器 is empty and appends the kind's line to the
// report: "\r成功上传 n 条" + server table + "到服务器。", and how many the server refused.
void Upload(const TBillKind& kind);
extern std::string UploadReport; // emptied by the caller before an upload
