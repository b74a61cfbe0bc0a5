#include "app/demo_driver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <algorithm>
#include <cstdio>

#include "app/sky_tabs.h"
#include "app/zuvek_dlg.h"
#include "controls/label.h"

namespace {

constexpr int kDemoPollMs = 200;

}  // namespace

bool ParseDemoOptions(const QStringList& arguments, DemoOptions& options, std::string* error) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& name = arguments[i];
    const bool has_value = i + 1 < arguments.size();
    if (name == QLatin1String("--demo-ports") && has_value) {
      const QStringList parts = arguments[++i].split(QLatin1Char(','));
      if (parts.size() != 2 || parts[0].isEmpty() || parts[1].isEmpty()) {
        *error = "--demo-ports takes two names: AT,NMEA";
        return false;
      }
      options.at_port = parts[0];
      options.nmea_port = parts[1];
    } else if (name == QLatin1String("--demo-run") && has_value) {
      bool ok = false;
      options.runs = arguments[++i].toInt(&ok);
      if (!ok || options.runs < 1) {
        *error = "--demo-run takes a number of runs from 1";
        return false;
      }
    } else if (name == QLatin1String("--screenshot") && has_value) {
      options.screenshot = arguments[++i];
    } else if (name == QLatin1String("--screenshot-rows") && has_value) {
      options.screenshot_rows = arguments[++i].toInt();
    } else if (name == QLatin1String("--screenshot-tab") && has_value) {
      const QStringList tabs = {QStringLiteral("signal"), QStringLiteral("sky"),
                                QStringLiteral("history")};
      options.screenshot_tab = static_cast<int>(tabs.indexOf(arguments[++i]));
      if (options.screenshot_tab < 0) {
        *error = "--screenshot-tab takes signal, sky or history";
        return false;
      }
    } else {
      *error = "unknown option or missing value: " + name.toStdString();
      return false;
    }
  }
  if ((options.runs > 0 || !options.screenshot.isEmpty()) && options.at_port.isEmpty()) {
    *error = "--demo-run and --screenshot need --demo-ports";
    return false;
  }
  return true;
}

DemoDriver::DemoDriver(CZUVEKDlg& dlg, DemoOptions options)
    : dlg_(dlg), options_(std::move(options)) {
  if (options_.at_port.isEmpty())
    return;
  connect(&poll_, &QTimer::timeout, this, &DemoDriver::Poll);
  QTimer::singleShot(0, this, &DemoDriver::Begin);
}

bool DemoDriver::SelectPort(int combo_id, const QString& part) {
  auto* combo = dlg_.ItemAs<QComboBox>(combo_id);
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).contains(part, Qt::CaseInsensitive)) {
      combo->setCurrentIndex(i);
      return true;
    }
  }
  std::fprintf(stderr, "zuvek: no port named like \"%s\"\n", part.toUtf8().constData());
  return false;
}

void DemoDriver::Begin() {
  if (!SelectPort(1013, options_.at_port) || !SelectPort(1019, options_.nmea_port)) {
    exit_code_ = 1;
    if (!options_.screenshot.isEmpty())
      dlg_.close();
    return;
  }
  dlg_.ItemAs<QAbstractButton>(1016)->click();  // Open
  if (options_.runs > 0) {
    dlg_.ItemAs<QAbstractButton>(1008)->click();  // "Define"
    dlg_.ItemAs<QLineEdit>(1009)->setText(QString::number(options_.runs));
    dlg_.ItemAs<QAbstractButton>(1011)->click();  // Run
    dlg_.Item(1025)->setFocus();
  }
  if (!options_.screenshot.isEmpty())
    poll_.start(kDemoPollMs);
}

void DemoDriver::Poll() {
  ++polls_;
  const auto* list = dlg_.ItemAs<QTableWidget>(1025);
  const auto* lat = dlg_.ItemAs<CLabel>(1030);
  // A fix shows in the position and, an epoch later, in the chart's used bars.
  const auto& bars = dlg_.Chart()->Bars();
  const bool used =
      std::any_of(bars.begin(), bars.end(), [](const SatelliteBar& b) { return b.used; });
  const bool fixed = list->rowCount() >= options_.screenshot_rows && !lat->Text().isEmpty() && used;
  if (fixed || polls_ * kDemoPollMs > options_.deadline_s * 1000) {
    poll_.stop();
    if (!fixed) {
      std::fprintf(stderr, "zuvek: no fix within %d s; saving the window as it is\n",
                   options_.deadline_s);
      exit_code_ = 1;
    }
    SaveScreenshot();
    StopAndClose();
  }
}

void DemoDriver::StopAndClose() {
  if (dlg_.RunState() != 0) {
    if (auto* stop = dlg_.ItemAs<QAbstractButton>(1010); stop->isEnabled())
      stop->click();
    QTimer::singleShot(kDemoPollMs, this, [this] { StopAndClose(); });
    return;
  }
  dlg_.close();
}

void DemoDriver::SaveScreenshot() {
  dlg_.Tabs()->Bar()->setCurrentIndex(options_.screenshot_tab);
  if (!dlg_.grab().save(options_.screenshot)) {
    std::fprintf(stderr, "zuvek: cannot save %s\n", options_.screenshot.toUtf8().constData());
    exit_code_ = 1;
  }
}
