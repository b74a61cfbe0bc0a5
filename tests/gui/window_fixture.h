// What the window tests share: a scratch working directory for TTFF.cfg and
// the logs, fresh settings, message boxes answered and recorded instead of a
// user, and a spare pseudo-terminal pair to stand in for a port.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "app/qt/message_box.h"
#include "config/app_config.h"
#include "config/side_settings.h"
#include "platform/clock.h"
#include "platform/working_folders.h"

namespace guitest {

// Records each box and presses its OK button once it runs (a question:
// Yes, or No when answer_yes is false).
class BoxRecorder {
 public:
  BoxRecorder() {
    qtui::MessageBoxTestHook() = [this](QMessageBox& box) {
      texts.append(box.text());
      QAbstractButton* button = box.button(QMessageBox::Ok);
      if (!button)
        button = box.button(answer_yes ? QMessageBox::Yes : QMessageBox::No);
      QTimer::singleShot(0, &box, [button] { button->click(); });
    };
  }
  ~BoxRecorder() { qtui::MessageBoxTestHook() = nullptr; }
  QStringList texts;
  bool answer_yes = true;
};

// A scratch directory made the working directory, with the working folders
// inside it and the settings record back at its defaults.
class Scratch {
 public:
  explicit Scratch(const platform::Clock& clock) : old_cwd_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
    g_config = app_config();
    // A window's tests keep their results store here, never the user's.
    g_side_settings = SideSettings();
    g_side_settings.store = StorePath();
    folders.InitIn(dir_.path().toStdString() + "/", clock);
  }
  std::string StorePath() const { return dir_.path().toStdString() + "/results.sqlite"; }
  ~Scratch() { QDir::setCurrent(old_cwd_); }
  QString Path() const { return dir_.path(); }
  WorkingFolders folders;

 private:
  QTemporaryDir dir_;
  QString old_cwd_;
};

// A pseudo-terminal: the test holds the controller side, the window opens
// the device path like a serial port.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      char name[128] = {};
      if (ptsname_r(master_, name, sizeof name) == 0)
        path_ = name;
    }
  }
  ~Pty() { Close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  const std::string& Path() const { return path_; }
  bool Ok() const { return master_ >= 0 && !path_.empty(); }
  void Close() {
    if (master_ >= 0)
      ::close(master_);
    master_ = -1;
  }
  // Sends bytes to the window, as the device would.
  bool Write(const std::string& bytes) {
    return master_ >= 0 &&
           ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // What the window wrote so far (non-blocking).
  std::string ReadAll() {
    std::string out;
    char buf[256];
    ssize_t n;
    while (master_ >= 0 && (n = ::read(master_, buf, sizeof buf)) > 0)
      out.append(buf, n);
    return out;
  }

 private:
  int master_ = -1;
  std::string path_;
};

}  // namespace guitest
