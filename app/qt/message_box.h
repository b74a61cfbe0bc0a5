// Modal message boxes with one OK button, titled "ZUVEK", from any thread.
// On the GUI thread the box shows at once; from another thread it shows on
// the GUI thread while the caller waits until the user has pressed OK.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <functional>

namespace qtui {

// Shows the box and returns when it has been closed. Returns false when it
// could not be shown: no application, or the application quit first.
bool ShowMessageBox(const QString& text, QWidget* parent = nullptr);

// A question with Yes and No, on the GUI thread only; true for Yes.
bool AskYesNo(const QString& text, QWidget* parent = nullptr);

// Test hook: when set, it is called on the GUI thread with each box just
// before the box runs, so that an offscreen test can answer it (for instance
// by scheduling a click on its OK button).
std::function<void(QMessageBox&)>& MessageBoxTestHook();

}  // namespace qtui
