#include "U_Application.h"
#include "U_Startup.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (int code = Startup(QCoreApplication::applicationDirPath() + QLatin1Char('/')); code != 0) return code;
  return RunProgram();
}
