#include "U_Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return Startup(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}
