#include <QTest>
class T : public QObject { Q_OBJECT };
QTEST_MAIN(T)
#include "dialog_units_test.moc"
