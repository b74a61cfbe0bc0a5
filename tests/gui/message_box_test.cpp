#include <QTest>
class T : public QObject { Q_OBJECT };
QTEST_MAIN(T)
#include "message_box_test.moc"
