// CLabel: a static text with its own painting. Text and background colours,
// a horizontal gradient, any font, a raised or sunken copy of the text,
// rotation, flashing on a 500-ms timer, and hyperlink behaviour (open a
// target or a mail address on a click, or notify the parent instead).
//
// Every setter returns the label so that calls chain:
//   label.SetFaceName("San Serif").SetPointSize(12).SetTextColor(0xFF0000);
#pragma once

#include <QCursor>
#include <QFont>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

#include "controls/colorref.h"
#include "controls/log_font.h"
#include "controls/static_styles.h"

class CLabel : public QWidget {
  Q_OBJECT

 public:
  // Opens a link target; the desktop's URL handler unless a test replaced it.
  using UrlOpener = std::function<void(const QUrl&)>;

  static constexpr int kFlashTimerId = 1;
  static constexpr int kFlashIntervalMs = 500;
  static constexpr int kGradientSteps = 100;
  static constexpr unsigned kNotifyCode = 0x8200;  // code of the parent notification
  enum LinkKind { kNoLink = 0, kHyperlink = 1, kMailLink = 2 };
  enum FlashKind { kNoFlash = 0, kFlashText = 1, kFlashBackground = 2 };

  // `style` holds the static-control style bits (SS_CENTER, SS_CENTERIMAGE...).
  explicit CLabel(QWidget* parent = nullptr, const QString& text = QString(),
                  DWORD style = SS_LEFT);
  ~CLabel() override;

  CLabel& SetBackground(COLORREF colour, COLORREF end_colour = 0, BOOL gradient = 0);
  CLabel& SetTextColor(COLORREF colour);
  CLabel& SetText(const QString& text);
  CLabel& SetBold(BOOL bold);
  CLabel& SetFaceName(const QString& name, BYTE char_set = 0);
  CLabel& SetUnderline(BOOL underline);
  CLabel& SetItalic(BOOL italic);
  CLabel& SetPointSize(int points);
  CLabel& SetSunkenEdge(BOOL on);
  CLabel& SetBorder(BOOL on);
  CLabel& SetTransparent(BOOL on);
  CLabel& SetFlashText(BOOL on);
  CLabel& SetFlashBackground(BOOL on);
  CLabel& SetHyperlink(BOOL on, BOOL notify = 0);
  CLabel& SetLinkCursor(const QCursor& cursor);
  CLabel& SetRaisedText(BOOL on, BOOL direction = 0);
  CLabel& SetRotation(int degrees, BOOL on = 1);
  CLabel& SetRaisedTextColor(COLORREF colour);
  CLabel& SetLogFont(LogFont log_font);
  CLabel& SetMailLink(BOOL on, BOOL notify = 0);
  CLabel& SetLinkTarget(const QString& target);

  // The window side of the control.
  QString Text() const { return text_; }
  DWORD Style() const { return style_; }
  void SetStyle(DWORD style);
  DWORD ExStyle() const { return ex_style_; }
  int ControlId() const { return control_id_; }
  void SetControlId(int id) { control_id_ = id; }

  // State, for the window that hosts the label and for tests.
  const LogFont& GetLogFont() const { return log_font_; }
  const QFont& CurrentFont() const { return font_; }
  COLORREF TextColor() const { return text_color_; }
  bool FlashPhase() const { return flash_phase_; }
  int GetFlashKind() const { return flash_kind_; }
  bool FlashTimerActive() const { return flash_timer_.isActive(); }
  int GetLinkKind() const { return link_kind_; }
  // One tick of the flash timer: inverts the phase and redraws.
  void OnFlashTimer();

  // Replaces the opener of link targets; returns the previous one. An empty
  // opener restores the desktop's handler.
  static UrlOpener SetUrlOpener(UrlOpener opener);

  QSize sizeHint() const override;

 signals:
  // A click on a label that notifies its parent instead of opening a link.
  void Notified(int control_id, unsigned code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void RebuildFont();
  void Redraw();
  void UpdateFrame();
  void StartFlash(int kind);
  void StopFlash();
  void PaintContent(QPainter& painter, const QRect& rect) const;
  void PaintFrame(QPainter& painter) const;
  int TextFlags() const;
  QColor FaceColor() const;

  COLORREF text_color_;
  COLORREF raised_color_ = RGB(255, 255, 255);
  std::optional<COLORREF> background_brush_;  // set with a solid background
  LogFont log_font_;
  QFont font_;
  bool flash_phase_ = false;
  int link_kind_ = kNoLink;
  bool transparent_ = false;
  bool raised_ = false;
  bool notify_parent_ = false;
  bool rotate_ = false;
  int flash_kind_ = kNoFlash;
  std::optional<QCursor> link_cursor_;
  bool raised_direction_ = false;
  bool gradient_ = false;
  COLORREF gradient_end_ = 0;
  COLORREF background_ = 0;
  QString link_target_;

  QString text_;
  DWORD style_ = SS_LEFT;
  DWORD ex_style_ = 0;
  int control_id_ = 0;
  QTimer flash_timer_;
};
