#include "common/TestMain.h"
#include "platform/engine/AliasRegistry.h"
#include "platform/engine/EngineError.h"

#include <QTemporaryDir>
#include <QTest>

using engine::Alias;
using engine::AliasRegistry;
using engine::EngineError;

class TestAliasRegistry : public QObject {
    Q_OBJECT

private slots:
    // A group that cannot be read is kept aside, named by the line at
    // fault; the aliases around it still serve.
    void keepsABadGroupAsideAndServesTheOthers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("badName");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("good");
        QTest::newRow("key before group") << "driver=sqlite\n[A]\ndriver=sqlite\n" << "" << "linha 1" << "a";
        QTest::newRow("broken group") << "[A]\ndriver=sqlite\n[B\n" << "B" << "linha 3" << "a";
        QTest::newRow("no equals") << "; comment\n[A]\npath /x\n[B]\ndriver=sqlite\n" << "A" << "linha 3" << "b";
        QTest::newRow("duplicate") << "[A]\n[a]\n" << "a" << "linha 2" << "a";
        QTest::newRow("line break in a path, as once written")
            << "[A]\ndriver=sqlite\npath=/dados\nnovos\n[B]\ndriver=sqlite\n" << "A" << "linha 4" << "b";
        QTest::newRow("quotes left open") << "[A]\npath=\"/x\n[B]\n" << "A" << "linha 2" << "b";
        QTest::newRow("unknown escape") << "[B]\n[A]\npath=\"/x\\q\"\n" << "A" << "linha 3" << "b";
    }
    void keepsABadGroupAsideAndServesTheOthers()
    {
        QFETCH(QString, text);
        QFETCH(QString, badName);
        QFETCH(QString, line);
        QFETCH(QString, good);
        const auto contents = AliasRegistry::parse(text, "aliases.ini");
        QCOMPARE(contents.aliases.keys(), QStringList{good});
        QCOMPARE(contents.bad.size(), 1);
        QCOMPARE(contents.bad.front().name, badName);
        QVERIFY2(contents.bad.front().problem.contains("aliases.ini não pode ser lido: " + line),
                 qPrintable(contents.bad.front().problem));
    }

    // What the admin tool and the program find, remove and save.
    void aBadGroupIsAnErrorWhenUsedAndCanBeRemoved()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("aliases.ini");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Dorvica2]\ndriver=sqlite\npath=/dados\n\n[Demo]\npath=/tmp/a\nb\n\n[Sem fim\n");
        file.close();

        AliasRegistry registry(path);
        registry.load();
        QCOMPARE(registry.require("Dorvica2").setting("path"), QString("/dados"));
        QVERIFY_THROWS_EXCEPTION(EngineError, registry.find("demo"));
        QCOMPARE(registry.badGroups().size(), 2);
        // Saving keeps the bad groups as written until they are removed.
        registry.save();
        registry.load();
        QCOMPARE(registry.badGroups().size(), 2);
        QVERIFY(registry.remove("Demo"));
        QVERIFY(registry.remove("sem fim"));
        registry.save();
        registry.load();
        QVERIFY(registry.badGroups().isEmpty());
        QCOMPARE(registry.aliases().size(), 1);
    }

    // Any path reads back exactly; an old registry reads as it always did.
    void pathsReadBackExactly()
    {
        QTemporaryDir dir;
        const QStringList paths = {"/dados/velunor", "/a ;b", "/a\tb ; c", "/linha\nnova", "/cr\r\n",
                                   " /espaços ", "\"aspas\"", "/bar\\ra", "/x;y", "/ctl\x01", "/é €"};
        AliasRegistry registry(dir.filePath("aliases.ini"));
        for (int i = 0; i < paths.size(); ++i)
            registry.set({"A" + QString::number(i), "sqlite", {{"path", paths[i]}}});
        registry.save();
        AliasRegistry again(registry.path());
        again.load();
        QVERIFY(again.badGroups().isEmpty());
        for (int i = 0; i < paths.size(); ++i)
            QCOMPARE(again.require("A" + QString::number(i)).setting("path"), paths[i]);

        const auto old = AliasRegistry::parse(
            "[Dorvica2]\ndriver=sqlite\npath=/home/clinic/velunor-data     ; directory of the store\n"
            "# a comment\n[Outro]\ndriver=postgres\nhost=db;x\n",
            "aliases.ini");
        QCOMPARE(old.aliases.value("dorvica2").setting("path"), QString("/home/clinic/velunor-data"));
        QCOMPARE(old.aliases.value("outro").setting("host"), QString("db;x"));
    }

    void refusesANameTheFileCannotHold()
    {
        AliasRegistry registry("unused.ini");
        for (const QString& name : QStringList{"", " A", "A ;b", "A]", "linha\nnova"})
            QVERIFY_THROWS_EXCEPTION(EngineError, registry.set({name, "sqlite", {{"path", "/x"}}}));
        QVERIFY(registry.aliases().isEmpty());
    }
};

VELUNOR_TEST(TestAliasRegistry)
#include "tst_aliases.moc"
