// zuvek: the window of the TTFF bench tool.
#include <QApplication>

#include "app/zuvek_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return theApp.InitInstance(QApplication::arguments());
}
