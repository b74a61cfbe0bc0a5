// The label control: painting (gradient strips, colours, flashing, layout),
// the flash timer, links and the parent notification.
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "controls/label.h"

namespace {

QImage Shot(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountColour(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour)
        ++count;
  return count;
}

// Bounding box of the pixels that differ from `background`.
QRect Ink(const QImage& image, const QColor& background) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) != background)
        box |= QRect(x, y, 1, 1);
  return box;
}

// A big bold text whose strokes have solid, unblended pixels.
void BigText(CLabel& label, const QString& text) {
  LogFont font = label.GetLogFont();
  font.height = -40;
  font.weight = 700;
  label.SetLogFont(font);
  label.SetText(text);
}

// Captures the URLs a click would open.
struct UrlCapture {
  UrlCapture() {
    previous = CLabel::SetUrlOpener([this](const QUrl& url) { urls.push_back(url); });
  }
  ~UrlCapture() { CLabel::SetUrlOpener(previous); }
  std::vector<QUrl> urls;
  CLabel::UrlOpener previous;
};

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kBlack(0, 0, 0), kWhite(255, 255, 255);

}  // namespace

class LabelTest : public QObject {
  Q_OBJECT

 private slots:
  void NarrowGradientHasOneStripPerPixel() {
    // 50 pixels: 50 strips of one pixel. From black to RGB(200,100,50) the
    // increments are exact in 8.8 fixed point: 4, 2 and 1 per strip.
    CLabel label;
    label.resize(50, 20);
    label.SetBackground(RGB(0, 0, 0), RGB(200, 100, 50), 1);
    const QImage image = Shot(label);
    for (int x = 0; x < 50; ++x) {
      QCOMPARE(image.pixelColor(x, 10), QColor(4 * x, 2 * x, x));
      QCOMPARE(image.pixelColor(x, 0), QColor(4 * x, 2 * x, x));
      QCOMPARE(image.pixelColor(x, 19), QColor(4 * x, 2 * x, x));
    }
  }

  void WideGradientHasHundredStripsTheLastTakingTheRest() {
    // 250 pixels: 100 strips of 250 / 100 = 2 pixels, the last from 198 to
    // the right edge. Increments: red 100 * 256 / 100 = 256 (1 a strip),
    // blue 512 (2 a strip), green 0.
    CLabel label;
    label.resize(250, 10);
    label.SetBackground(RGB(0, 0, 0), RGB(100, 0, 200), 1);
    const QImage image = Shot(label);
    const struct {
      int x, strip;
      const char* legend;
    } kCases[] = {{0, 0, "left edge: the start colour"},
                  {1, 0, "second pixel of the first strip"},
                  {2, 1, "second strip"},
                  {101, 50, "middle"},
                  {197, 98, "last two-pixel strip"},
                  {198, 99, "start of the last strip"},
                  {249, 99, "right edge: still the last strip"}};
    for (const auto& c : kCases)
      QVERIFY2(image.pixelColor(c.x, 5) == QColor(c.strip, 0, 2 * c.strip), c.legend);
  }

  void FallingGradientTruncatesTowardsTheStart() {
    // From white to black in 100 strips: increment -255 * 256 / 100 = -652
    // (truncated towards zero), so the last strip is (65280 - 99 * 652) >> 8 = 2.
    CLabel label;
    label.resize(100, 4);
    label.SetBackground(RGB(255, 255, 255), RGB(0, 0, 0), 1);
    const QImage image = Shot(label);
    QCOMPARE(image.pixelColor(0, 1), kWhite);
    QCOMPARE(image.pixelColor(99, 1), QColor(2, 2, 2));
  }

  void TextAndBackgroundColours() {
    CLabel label;
    label.resize(200, 60);
    BigText(label, QStringLiteral("MMM"));
    label.SetBackground(RGB(0, 0, 255)).SetTextColor(RGB(255, 0, 0));
    const QImage image = Shot(label);
    QVERIFY(CountColour(image, kRed) > 30);
    QCOMPARE(image.pixelColor(199, 59), kBlue);
    QCOMPARE(label.TextColor(), COLORREF{0x0000FF});
  }

  void WithoutBackgroundTheFaceColourFills() {
    CLabel label;
    label.resize(40, 20);
    QCOMPARE(Shot(label).pixelColor(20, 10), label.palette().color(QPalette::Button));
  }

  void FlashingTextHidesInTheBackgroundColour() {
    CLabel label;
    label.resize(200, 60);
    BigText(label, QStringLiteral("MMM"));
    label.SetBackground(RGB(0, 0, 255)).SetTextColor(RGB(255, 0, 0)).SetFlashText(1);
    QVERIFY(label.FlashTimerActive());
    QCOMPARE(label.FlashPhase(), false);
    QImage hidden = Shot(label);
    QCOMPARE(CountColour(hidden, kRed), 0);
    QCOMPARE(CountColour(hidden, kBlue), 200 * 60);
    label.OnFlashTimer();
    QVERIFY(CountColour(Shot(label), kRed) > 30);
    label.OnFlashTimer();
    QCOMPARE(CountColour(Shot(label), kRed), 0);
  }

  void FlashingTextWithoutBackgroundBrushHidesInBlack() {
    CLabel label;
    label.resize(200, 60);
    BigText(label, QStringLiteral("MMM"));
    label.SetTextColor(RGB(255, 0, 0)).SetFlashText(1);
    const QImage hidden = Shot(label);
    QCOMPARE(CountColour(hidden, kRed), 0);
    QVERIFY(CountColour(hidden, kBlack) > 30);
  }

  void FlashTimerTogglesEveryHalfSecond() {
    CLabel label;
    label.resize(50, 20);
    label.SetFlashText(1);
    QCOMPARE(label.GetFlashKind(), int{CLabel::kFlashText});
    QTRY_VERIFY_WITH_TIMEOUT(label.FlashPhase(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!label.FlashPhase(), 3000);
    label.SetFlashText(0);
    QVERIFY(!label.FlashTimerActive());
    QCOMPARE(label.GetFlashKind(), int{CLabel::kNoFlash});
  }

  void BackgroundFlashAlternatesWithTheFaceColour() {
    CLabel label;
    label.resize(40, 20);
    label.SetBackground(RGB(0, 0, 255)).SetFlashBackground(1);
    QVERIFY(label.FlashTimerActive());
    QCOMPARE(Shot(label).pixelColor(20, 10), label.palette().color(QPalette::Button));
    label.OnFlashTimer();
    QCOMPARE(Shot(label).pixelColor(20, 10), kBlue);
    label.OnFlashTimer();
    // Turning it off in the face phase brings the background back for good.
    label.SetFlashBackground(0);
    QVERIFY(!label.FlashTimerActive());
    QCOMPARE(Shot(label).pixelColor(20, 10), kBlue);
  }

  void CentreImageStyleCentresOneLine() {
    CLabel label(nullptr, QString(), SS_CENTERIMAGE);
    label.resize(300, 100);
    BigText(label, QStringLiteral("MM"));
    label.SetBackground(RGB(0, 0, 255)).SetTextColor(RGB(255, 0, 0));
    const QRect ink = Ink(Shot(label), kBlue);
    QVERIFY(ink.isValid());
    QVERIFY(qAbs(ink.center().x() - 150) <= 2);
    QVERIFY(qAbs(ink.center().y() - 50) <= 6);
  }

  void DefaultStyleDrawsTopLeft() {
    CLabel label;
    label.resize(300, 100);
    BigText(label, QStringLiteral("MM"));
    label.SetBackground(RGB(0, 0, 255));
    const QRect ink = Ink(Shot(label), kBlue);
    QVERIFY(ink.left() < 10);
    QVERIFY(ink.top() < 20);
  }

  void RaisedTextAddsAnOffsetCopy() {
    CLabel label;
    label.resize(200, 60);
    BigText(label, QStringLiteral("MMM"));
    label.SetBackground(RGB(0, 0, 255)).SetTextColor(RGB(255, 0, 0));
    QCOMPARE(CountColour(Shot(label), kWhite), 0);
    label.SetRaisedText(1, 1);
    const QImage raised = Shot(label);
    QVERIFY(CountColour(raised, kWhite) > 30);
    QVERIFY(CountColour(raised, kRed) > 0);  // the edge of the original shows
  }

  void RotatedTextStandsUp() {
    CLabel label;
    label.resize(200, 200);
    BigText(label, QStringLiteral("MMMM"));
    label.SetBackground(RGB(0, 0, 255)).SetRotation(90, 1);
    QCOMPARE(label.GetLogFont().escapement, 900);
    const QRect ink = Ink(Shot(label), kBlue);
    QVERIFY(ink.height() > 2 * ink.width());
    QVERIFY(qAbs(ink.center().y() - 100) <= 4);
  }

  void FontOperations() {
    CLabel label;
    CLabel& same = label.SetFaceName(QStringLiteral("San Serif"), 0).SetPointSize(12).SetBold(1);
    QCOMPARE(&same, &label);
    QCOMPARE(label.GetLogFont().face_name, QStringLiteral("San Serif"));
    QCOMPARE(label.GetLogFont().height, -PointsToPixels(12, label.logicalDpiY()));
    QCOMPARE(label.CurrentFont().pixelSize(), PointsToPixels(12, label.logicalDpiY()));
    QCOMPARE(label.GetLogFont().weight, 700);
    QVERIFY(label.CurrentFont().bold());
    label.SetItalic(1).SetUnderline(1);
    QVERIFY(label.CurrentFont().italic());
    QVERIFY(label.CurrentFont().underline());
    // A face name longer than the description holds is cut to 31 characters.
    label.SetFaceName(QString(40, QLatin1Char('x')));
    QCOMPARE(label.GetLogFont().face_name.size(), qsizetype{31});
  }

  void FramesTakeTheirPixels() {
    CLabel label;
    label.resize(40, 20);
    label.SetBackground(RGB(0, 0, 255)).SetBorder(1);
    QCOMPARE(label.contentsRect(), QRect(1, 1, 38, 18));
    QCOMPARE(Shot(label).pixelColor(0, 10), kBlack);
    label.SetSunkenEdge(1);
    QCOMPARE(label.contentsRect(), QRect(2, 2, 36, 16));
    label.SetBorder(0).SetSunkenEdge(0);
    QCOMPARE(label.contentsRect(), QRect(0, 0, 40, 20));
  }

  void TransparentLabelShowsItsParent() {
    QWidget parent;
    parent.resize(100, 50);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, kRed);
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    CLabel label(&parent);
    label.setGeometry(10, 10, 60, 20);
    label.SetBackground(RGB(0, 0, 255));
    QCOMPARE(Shot(parent).pixelColor(20, 20), kBlue);
    label.SetTransparent(1);
    QVERIFY(label.ExStyle() & WS_EX_TRANSPARENT);
    QCOMPARE(Shot(parent).pixelColor(20, 20), kRed);
  }

  void HyperlinkClickOpensTheTarget() {
    UrlCapture capture;
    CLabel label(nullptr, QStringLiteral("www.example.org"));
    label.resize(100, 20);
    label.SetHyperlink(1);
    QVERIFY(label.Style() & SS_NOTIFY);
    QTest::mouseClick(&label, Qt::LeftButton);
    label.SetLinkTarget(QStringLiteral("https://example.com/manual"));
    QTest::mouseClick(&label, Qt::LeftButton);
    QTest::mouseClick(&label, Qt::RightButton);  // only the left button follows links
    QCOMPARE(capture.urls.size(), std::size_t{2});
    QCOMPARE(capture.urls[0], QUrl(QStringLiteral("http://www.example.org")));
    QCOMPARE(capture.urls[1], QUrl(QStringLiteral("https://example.com/manual")));
  }

  void MailLinkClickOpensMailto() {
    UrlCapture capture;
    CLabel label(nullptr, QStringLiteral("bench@example.com"));
    label.resize(100, 20);
    label.SetMailLink(1);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(capture.urls.size(), std::size_t{1});
    QCOMPARE(capture.urls[0], QUrl(QStringLiteral("mailto:bench@example.com")));
  }

  void PlainLabelIgnoresClicks() {
    UrlCapture capture;
    CLabel label(nullptr, QStringLiteral("https://example.com"));
    label.resize(100, 20);
    QSignalSpy spy(&label, &CLabel::Notified);
    QTest::mouseClick(&label, Qt::LeftButton);
    label.SetHyperlink(1).SetHyperlink(0);  // on and off again
    QVERIFY(!(label.Style() & SS_NOTIFY));
    QTest::mouseClick(&label, Qt::LeftButton);
    QVERIFY(capture.urls.empty());
    QCOMPARE(spy.count(), 0);
  }

  void NotifyParentEmitsInsteadOfOpening() {
    UrlCapture capture;
    CLabel label(nullptr, QStringLiteral("https://example.com"));
    label.resize(100, 20);
    label.SetControlId(1023);
    label.SetHyperlink(1, 1);
    QSignalSpy spy(&label, &CLabel::Notified);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1023);
    QCOMPARE(spy.at(0).at(1).toUInt(), 0x8200u);
    QVERIFY(capture.urls.empty());
  }

  void SetTextShowsAtOnce() {
    CLabel label;
    label.resize(200, 60);
    label.SetBackground(RGB(0, 0, 255)).SetTextColor(RGB(255, 0, 0));
    QCOMPARE(CountColour(Shot(label), kRed), 0);
    BigText(label, QStringLiteral("MMM"));
    QCOMPARE(label.Text(), QStringLiteral("MMM"));
    QVERIFY(CountColour(Shot(label), kRed) > 30);
  }
};

QTEST_MAIN(LabelTest)
#include "label_test.moc"
