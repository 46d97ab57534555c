// The commands of the 系统维护 menu and the periodic work beside them: connect and disconnect,
// the server timer's tick, draft upload and clearing, the downloads, the two synchronisations
// and the update. The commands themselves are TF_Main's handlers (defined in U_Maintain.cpp);
// the pieces below are what they are made of.
#pragma once

#include <QString>

class TStore;

inline const QString kConnectFailedText =
    QStringLiteral("连接服务器失败！网络故障导致的可断开服务器后重新连接服务器。");
inline const QString kConnectedText = QStringLiteral("连接服务器成功！当前是在线状态。");
inline const QString kDisconnectedText = QStringLiteral("断开服务器成功！当前是脱机状态。");

// The maker's web site (新一代管理利器).
inline const QString kMakerSite = QStringLiteral("https://y6desk.example.com/");
inline const QString kHelpDocument = QStringLiteral("桌面端操作说明.doc");

// The command line Sync.exe gets: API base URL and session, a blank, the store ID, then " 1" or
// " 0" for the business store filter, the customer store filter and the supplier filter.
QString SyncCommandLine();

// The replicated bills older than 30 days go, but only while younger ones exist, so the local
// history never ends up empty; their lines follow their headers.
void RetainRecentBills(TStore& db);

// The five draft tables emptied in one transaction.
void ClearDraftTables(TStore& db);

// Gives the space of deleted rows back to the file system. The store is one SQLite file:
// VACUUM rebuilds it in place, which is what copying the file into a compacted temp.db and
// back achieves for the Jet engine.
void CompactStore(TStore& db);
