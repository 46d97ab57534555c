#include "U_Application.h"
#include "U_Startup.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  return Startup(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}
