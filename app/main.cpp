// zuvek: the window of the TTFF bench tool.
#include <QApplication>

#include "app/window_usage.h"
#include "app/zuvek_app.h"

int main(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerUsageQuestion(argc, argv))
    return *answered;
  QApplication app(argc, argv);
  return theApp.InitInstance(QApplication::arguments());
}
