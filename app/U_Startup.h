// The program's start: configuration, the server addresses and the check of the local store.
#pragma once

#include "U_Application.h"

#include <QString>
#include <functional>

inline const QString kAppTitle = QStringLiteral("禾岚软件.Y6桌面端");
inline const QString kNoConfigText = QStringLiteral("配置文件 Set.ini 丢失。系统无法运行！");
inline const QString kNoStoreText = QStringLiteral("连接数据库失败，请重试！");

// The system message box of the start, shown before the data module exists
// (ShowSystemError of U_Application.h by default).
using TSystemBox = std::function<void(const QString& text)>;

// Runs the start in programDir (with a trailing separator) up to the preload of the lookup
// lists and returns the exit code: 0 when it went through, 1 when it ended with a message.
int Startup(const QString& programDir, const TSystemBox& box = ShowSystemError);

// The rest of the run: the login dialog, then, after a successful login, the main window and
// the shared windows, and the message loop until the main window closes. The exit code.
int RunProgram();
