// Widget tests: one application object for the whole test program, and QString values that
// read as text in failure messages.
#pragma once

#include <QApplication>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Makes the application object unless the program has one already.
inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "y6test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// Registered once per test program: ::testing::AddGlobalTestEnvironment(new TQtEnvironment).
class TQtEnvironment : public ::testing::Environment {
public:
  void SetUp() override { EnsureApplication(); }
};
