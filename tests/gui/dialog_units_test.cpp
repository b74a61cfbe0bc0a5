// Dialog units to pixels with the base units of the dialog font.
#include <QFontMetrics>
#include <QTest>
#include <cmath>

#include "app/qt/dialog_units.h"

using qtui::DialogUnits;

class DialogUnitsTest : public QObject {
  Q_OBJECT

 private slots:
  void MulDivRoundsHalfAwayFromZero() {
    const struct {
      int a, b, c, expected;
      const char* legend;
    } kCases[] = {{5, 3, 2, 8, "7.5 rounds up"},
                  {-5, 3, 2, -8, "-7.5 rounds away from zero"},
                  {5, 3, -2, -8, "negative divisor"},
                  {7, 1, 4, 2, "1.75"},
                  {6, 1, 4, 2, "1.5"},
                  {5, 1, 4, 1, "1.25"},
                  {733, 6, 4, 1100, "exact"},
                  {100000, 100000, 1, 1410065408, "64-bit product, result cut to int"},
                  {3, 4, 0, 0, "division by zero gives 0"}};
    for (const auto& c : kCases)
      QVERIFY2(qtui::MulDiv(c.a, c.b, c.c) == c.expected, c.legend);
  }

  void BaseUnitsComeFromTheFontMetrics() {
    const QFont font = qtui::DialogFont();
    QCOMPARE(font.pointSize(), 8);
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const DialogUnits units(font);
    QCOMPARE(units.BaseX(), static_cast<int>(std::lround(letters / 52.0)));
    QCOMPARE(units.BaseY(), metrics.height());
    QVERIFY(units.BaseX() > 0);
  }

  void RectScalesEachValueOnItsOwn() {
    const DialogUnits units(qtui::DialogFont());
    const int bx = units.BaseX(), by = units.BaseY();
    // "Hot Start" at 385, 24, 45 x 10.
    const QRect r = units.ToPixels(385, 24, 45, 10);
    QCOMPARE(r.x(), static_cast<int>(std::lround(385.0 * bx / 4)));
    QCOMPARE(r.y(), static_cast<int>(std::lround(24.0 * by / 8)));
    QCOMPARE(r.width(), static_cast<int>(std::lround(45.0 * bx / 4)));
    QCOMPARE(r.height(), static_cast<int>(std::lround(10.0 * by / 8)));
    QCOMPARE(qtui::DialogRectToPixels(385, 24, 45, 10), r);
  }

  void BiggerFontGivesBiggerPixels() {
    QFont big = qtui::DialogFont();
    big.setPointSize(16);
    const DialogUnits small_units(qtui::DialogFont());
    const DialogUnits big_units(big);
    QVERIFY(big_units.BaseX() > small_units.BaseX());
    QVERIFY(big_units.BaseY() > small_units.BaseY());
    const QRect small_rect = small_units.ToPixels(198, 129, 529, 152);
    const QRect big_rect = big_units.ToPixels(198, 129, 529, 152);
    QVERIFY(big_rect.width() > small_rect.width());
    QVERIFY(big_rect.height() > small_rect.height());
    QVERIFY(big_rect.x() > small_rect.x());
  }
};

QTEST_MAIN(DialogUnitsTest)
#include "dialog_units_test.moc"
