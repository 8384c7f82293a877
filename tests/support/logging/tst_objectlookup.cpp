#include "objectlooker.h"
#include "objectlookup.h"

#include <QPointer>
#include <QTest>

#include <memory>

namespace {

QStringList deleted;

class Tracked : public ObjectLooker
{
public:
    explicit Tracked(const QString &name) { setObjectName(name); }
    ~Tracked() override { deleted << objectName(); }
};

} // namespace

class tst_ObjectLookup : public QObject
{
    Q_OBJECT

private slots:
    void init() { deleted.clear(); }
    void handlesAreNeverReused();
    void unknownHandles();
    void destructionOrder();
};

void tst_ObjectLookup::handlesAreNeverReused()
{
    ObjectLookup registry;
    QVERIFY(!registry.parent());
    auto *a = new Tracked(QStringLiteral("a"));
    auto *b = new Tracked(QStringLiteral("b"));
    auto *c = new Tracked(QStringLiteral("c"));
    QCOMPARE(registry.add(a), 0);
    QCOMPARE(registry.add(b), 1);
    QCOMPARE(registry.add(c), 2);
    QCOMPARE(registry.lookup(0), a);
    QCOMPARE(registry.lookup(2), c);
    std::unique_ptr<QObject> taken(registry.take(1));
    QCOMPARE(taken.get(), b);
    QVERIFY(!registry.lookup(1));
    QVERIFY(!registry.take(1));
    QCOMPARE(registry.add(new Tracked(QStringLiteral("d"))), 3);
    QVERIFY(deleted.isEmpty());
}

void tst_ObjectLookup::unknownHandles()
{
    ObjectLookup registry;
    // Looking up handles not yet handed out must not stop them from being handed out later.
    QVERIFY(!registry.lookup(0));
    QVERIFY(!registry.lookup(1));
    QVERIFY(!registry.lookup(-1));
    QVERIFY(!registry.take(0));
    QCOMPARE(registry.add(new Tracked(QStringLiteral("a"))), 0);
    QCOMPARE(registry.add(new Tracked(QStringLiteral("b"))), 1);
    QCOMPARE(registry.lookup(1)->objectName(), QStringLiteral("b"));
}

void tst_ObjectLookup::destructionOrder()
{
    auto *taken = new Tracked(QStringLiteral("taken"));
    QPointer<QObject> watch(taken);
    std::unique_ptr<QObject> takenBack;
    {
        ObjectLookup registry;
        registry.add(new Tracked(QStringLiteral("zero")));
        registry.add(taken);
        registry.add(new Tracked(QStringLiteral("two")));
        takenBack.reset(registry.take(1));
        QCOMPARE(takenBack.get(), taken);
    }
    QCOMPARE(deleted, (QStringList {QStringLiteral("two"), QStringLiteral("zero")}));
    QVERIFY(watch);
    takenBack.reset();
    QCOMPARE(deleted.last(), QStringLiteral("taken"));
}

QTEST_GUILESS_MAIN(tst_ObjectLookup)
#include "tst_objectlookup.moc"
