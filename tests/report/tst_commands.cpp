#include "PdfWords.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/DM.h"
#include "data/controls/DBNavigator.h"
#include "platform/engine/Values.h"
#include "platform/reporting/PageFile.h"
#include "platform/ui/Application.h"
#include "report/Rel.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPointer>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using engine::values::wallClock;
using reporting::PreviewWindow;

namespace {

// Runs `act` on the next modal window to open (not the one open now, if
// any), from the event loop, so that nothing waits for a person.
void whenModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName("whenModal");
    timer->setInterval(10);
    QPointer<QWidget> openNow = QApplication::activeModalWidget();
    QObject::connect(timer, &QTimer::timeout, [timer, act, openNow] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == openNow)
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

template <class T> T* child(QWidget* w, const char* name)
{
    T* found = w->findChild<T*>(name);
    if (!found)
        qFatal("no %s", name);
    return found;
}

// Types `path` into a file dialog and accepts it. selectFile() leaves the
// name box empty when that box already has the focus, which depends on how
// soon the dialog was activated: the dialog then stays open.
QString chooseFile(QWidget* w, const QString& path)
{
    auto* d = qobject_cast<QFileDialog*>(w);
    if (!d)
        qFatal("not a file dialog");
    const QString title = d->windowTitle();
    child<QLineEdit>(d, "fileNameEdit")->setText(path);
    static_cast<QDialog*>(d)->accept();
    return title;
}

QWidget* progressWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "PrintProgress")
            return w;
    return nullptr;
}

} // namespace

// Print, preview and printer set-up from the main window, on a real store:
// the preview's commands, keys and pages, saving and loading them, the
// printer settings the dialogs change, and printing through a PDF printer.
class TestReportCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<Startup> startup;
    std::unique_ptr<QTemporaryDir> dir;

    void seed()
    {
        auto db = store->connect("SEED");
        db->execute("insert into medico (nome, activo) values ('Dra. Helena Sousa', true)");
        db->execute("insert into tipoexame (tipo) values ('Ecocardiograma')");
        const QVariant helena = db->query("select codigo from medico").rows[0][0];
        const QString type = db->query("select id from tipoexame").rows[0][0].toString();
        QStringList lines;
        for (int i = 1; i <= 150; ++i)
            lines << QString("Linha %1 do relatório.").arg(i);
        const std::pair<const char*, QString> patients[] = {{"ANA MARIA COSTA", lines.join("\n")},
                                                            {"BEATRIZ SOUSA", "Exame normal."}};
        for (const auto& [name, body] : patients) {
            db->execute("insert into bddid (nome) values (:n)", {name});
            const QVariant nf = db->query("select nf from bddid where nome = :n", {name}).rows[0][0];
            const QDateTime key = wallClock(QDate(2026, 3, 10), QTime(9, 0));
            db->execute("insert into eco (CodigoPaciente, CodigoExame, DataExame, Peso, Executor, ModoD, Eco1)"
                        " values (:p, :c, :d, 4200, :e, :t, :b)",
                        {nf.toDouble(), key, key.date(), helena, type, body});
        }
    }

    QString file(const QString& name) const { return dir->filePath(name); }

    PreviewWindow* openPreview()
    {
        MainForm->VerAntes1->trigger();
        PreviewWindow* preview = Relatorio->previewWindow();
        if (!preview || !QTest::qWaitForWindowExposed(preview))
            QTest::qFail("no preview", __FILE__, __LINE__);
        return preview;
    }

    // Prints with `trigger` on a PDF printer writing `name`; its words.
    PdfWords print(const std::function<void()>& trigger, const QString& name)
    {
        Relatorio->printerSettings().outputFileName = file(name);
        trigger();
        if (!QTest::qWaitFor([] { return !Relatorio->busy(); }, 20000))
            QTest::qFail("the print job did not end", __FILE__, __LINE__);
        return PdfWords(file(name));
    }

    QString nameOnPage(const PdfWords& words) const { return words.textAt(1, 27.73 + 14.29, 30, 100); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        store = std::make_unique<TestStore>();
        store->createTables();
        seed();
        startup = std::make_unique<Startup>(*Application::instance());
        startup->build();
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        QCOMPARE(DataModule1->TablePacNOME->asString(), QString("ANA MARIA COSTA"));
    }

    void cleanup()
    {
        qDeleteAll(QCoreApplication::instance()->findChildren<QTimer*>("whenModal"));
        Application::instance()->destroyComponents();
        startup.reset();
        store.reset();
        dir.reset();
    }

    void thePreviewOffersItsCommandsKeysAndPageIndicator()
    {
        QTest::mouseClick(MainForm->ToolButton6, Qt::LeftButton);
        PreviewWindow* p = Relatorio->previewWindow();
        QVERIFY(p && QTest::qWaitForWindowActive(p));
        QCOMPARE(p->windowTitle(), QString("Print Preview"));
        QVERIFY(p->windowState() & Qt::WindowMaximized);
        QCOMPARE(p->PageIndicator->text(), QString("Page 1 of 3"));
        QCOMPARE(p->ProgressField->text(), QString("100%"));
        QCOMPARE(p->CloseButton->text(), QString("&Close"));
        const std::pair<QAction*, const char*> hints[] = {
            {p->ZoomToFit, "Zoom to fit"},     {p->Zoom100, "100%"},           {p->ZoomToWidth, "Zoom to width"},
            {p->FirstPage, "First page"},      {p->PreviousPage, "Previous page"}, {p->NextPage, "Next page"},
            {p->LastPage, "Last page"},        {p->PrinterSetup, "Printer setup"}, {p->Print, "Print"},
            {p->SaveReport, "Save Report"},    {p->LoadReport, "Load Report"},
        };
        for (const auto& [action, hint] : hints) {
            QCOMPARE(action->toolTip(), QString(hint));
            QVERIFY(action->isEnabled());
        }

        // The zoom opens to the page's width; the three exclude one another.
        const QWidget* viewport = p->findChild<QScrollArea*>("PageView")->viewport();
        const QWidget* image = p->findChild<QWidget*>("PageImage");
        QVERIFY(p->ZoomToWidth->isChecked());
        QVERIFY(std::abs(image->width() - viewport->width()) <= 2);
        p->ZoomToFit->trigger();
        QVERIFY(!p->ZoomToWidth->isChecked() && p->ZoomToFit->isChecked());
        QVERIFY(image->height() <= viewport->height() + 2 && image->width() < viewport->width());
        p->Zoom100->trigger();
        QVERIFY(!p->ZoomToFit->isChecked());
        QCOMPARE(p->scale(), p->logicalDpiX() / 25.4);

        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
            int page;
        } keys[] = {{Qt::Key_PageDown, {}, 2},          {Qt::Key_PageDown, {}, 3},          {Qt::Key_PageDown, {}, 3},
                    {Qt::Key_PageUp, {}, 2},            {Qt::Key_Home, {}, 1},              {Qt::Key_PageUp, {}, 1},
                    {Qt::Key_End, {}, 3},               {Qt::Key_PageUp, Qt::ControlModifier, 1},
                    {Qt::Key_PageDown, Qt::ControlModifier, 3}};
        for (const auto& k : keys) {
            QTest::keyClick(p, Qt::Key(k.key), k.modifiers);
            QCOMPARE(p->PageIndicator->text(), QString("Page %1 of 3").arg(k.page));
        }

        // The main window stays usable meanwhile; Esc closes the preview.
        MainForm->DBNavigator1->click(DBNavigator::Next);
        QCOMPARE(DataModule1->TablePacNOME->asString(), QString("BEATRIZ SOUSA"));
        QVERIFY(p->isVisible());
        p->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p));
        QTest::keyClick(p, Qt::Key_Escape);
        QTRY_VERIFY(!Relatorio->previewWindow());
    }

    void printingFromThePreviewPrintsTheExamItShows()
    {
        PreviewWindow* preview = openPreview();
        MainForm->DBNavigator1->click(DBNavigator::Next); // the main window moves on to Beatriz
        const PdfWords fromPreview = print([&] {
            preview->Print->trigger();
            QWidget* progress = progressWindow();
            QVERIFY(progress && progress->isVisible());
            QCOMPARE(progress->windowTitle(), QString("Printing progress"));
            QVERIFY(progress->findChild<QPushButton*>("CancelButton"));
        }, "preview.pdf");
        QCOMPARE(fromPreview.pageCount(), 3);
        QCOMPARE(nameOnPage(fromPreview), QString("ANA MARIA COSTA"));

        // The toolbar prints the current exam, every word where the PDF
        // export puts it.
        const PdfWords printed = print([] { QTest::mouseClick(MainForm->BotaoPrn, Qt::LeftButton); }, "main.pdf");
        QString error;
        QVERIFY2(Relatorio->exportPdf(file("export.pdf"), &error), qPrintable(error));
        const PdfWords exported(file("export.pdf"));
        QCOMPARE(nameOnPage(printed), QString("BEATRIZ SOUSA"));
        QCOMPARE(printed.all().size(), exported.all().size());
        for (size_t i = 0; i < printed.all().size(); ++i) {
            const PdfWord &a = printed.all()[i], &b = exported.all()[i];
            QCOMPARE(a.text, b.text);
            QVERIFY2((a.box.topLeft() - b.box.topLeft()).manhattanLength() < 0.05, qPrintable(a.text));
        }
    }

    void thePreviewsPrinterSetupLastsForEveryLaterPrint()
    {
        PreviewWindow* preview = openPreview();
        QString seenRange;
        whenModal([&](QWidget* dialog) {
            QVERIFY(qobject_cast<QPrintDialog*>(dialog));
            child<QLineEdit>(dialog, "filename")->setText(file("setup.pdf"));
            child<QSpinBox>(dialog, "copies")->setValue(2);
            child<QRadioButton>(dialog, "printRange")->click();
            auto* from = child<QSpinBox>(dialog, "from");
            auto* to = child<QSpinBox>(dialog, "to");
            seenRange = QString("%1-%2").arg(from->minimum()).arg(to->maximum());
            from->setValue(2);
            to->setValue(3);
            whenModal([](QWidget* properties) {
                child<QRadioButton>(properties, "landscape")->click();
                static_cast<QDialog*>(properties)->accept();
            });
            child<QPushButton>(dialog, "properties")->click();
            static_cast<QDialog*>(dialog)->accept();
        });
        preview->PrinterSetup->trigger();
        QCOMPARE(seenRange, QString("1-3"));
        const reporting::PrinterSettings& s = Relatorio->printerSettings();
        QCOMPARE(s.copies, 2);
        QCOMPARE(std::pair(s.fromPage, s.toPage), std::pair(2, 3));
        QCOMPARE(s.orientation, QPageLayout::Landscape);
        QCOMPARE(s.outputFileName, file("setup.pdf"));
        QCOMPARE(preview->pages().front().sizeMm, QSizeF(297, 210)); // laid out again
        preview->close();

        // Ctrl+P then prints pages 2 and 3, twice, on landscape paper.
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        QTest::keyClick(MainForm, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(Relatorio->busy());
        QTRY_VERIFY(!Relatorio->busy());
        const PdfWords words(file("setup.pdf"));
        QCOMPARE(words.pageCount(), 4);
        QVERIFY(std::abs(words.pageSize().width() - 297) < 0.5 && std::abs(words.pageSize().height() - 210) < 0.5);
        QVERIFY(words.find("Nome:").box.isEmpty()); // page 2 of the report comes first
        QCOMPARE(words.pageText(1), words.pageText(3));
    }

    void savedPagesLoadBackAndBrokenFilesAreRefused()
    {
        PreviewWindow* preview = openPreview();
        const std::vector<reporting::Page> shown = preview->pages();
        QStringList saveDialog;
        for (const char* name : {"ana", "ana.pdf"}) {
            whenModal([&, name](QWidget* w) {
                auto* d = qobject_cast<QFileDialog*>(w);
                QVERIFY(d);
                saveDialog = QStringList{d->windowTitle(), d->defaultSuffix()} + d->nameFilters();
                chooseFile(d, file(name));
            });
            preview->SaveReport->trigger();
        }
        QCOMPARE(saveDialog, (QStringList{"Save report", "QRP", "QRP files (*.QRP *.qrp)", "PDF (*.pdf)"}));
        QCOMPARE(PdfWords(file("ana.pdf")).pageCount(), 3);

        preview->NextPage->trigger();
        QString loadTitle;
        whenModal([&](QWidget* w) { loadTitle = chooseFile(w, file("ana.QRP")); });
        preview->LoadReport->trigger();
        QCOMPARE(loadTitle, QString("Load report"));
        QVERIFY(preview->showsLoadedPages());
        QVERIFY(preview->pages() == shown);
        QCOMPARE(preview->PageIndicator->text(), QString("Page 1 of 3"));
        QVERIFY(!preview->PrinterSetup->isEnabled() && preview->Print->isEnabled());

        QFile broken(file("broken.QRP"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(reporting::encodePages(shown).left(200));
        broken.close();
        const QString refused = answerBox([&] { preview->loadFile(broken.fileName()); });
        QVERIFY2(refused.contains("danificado ou incompleto"), qPrintable(refused));
        QCOMPARE(answerBox([&] { preview->loadFile(file("missing.QRP")); }), QString("File does not exist"));
        QVERIFY(preview->pages() == shown && preview->showsLoadedPages());

        // Loaded pages print as they are, within the page range.
        Relatorio->printerSettings().fromPage = Relatorio->printerSettings().toPage = 2;
        Relatorio->printerSettings().outputFileName = file("loaded.pdf");
        preview->Print->trigger();
        QTRY_VERIFY(!preview->printing());
        const PdfWords printed(file("loaded.pdf"));
        QCOMPARE(printed.pageCount(), 1);
        QCOMPARE(printed.pageText(1), PdfWords(file("ana.pdf")).pageText(2));
        Relatorio->printerSettings().fromPage = 5; // beyond the last page: nothing to print, and it says so
        Relatorio->printerSettings().toPage = 9;
        const QString nothing = answerBox([&] { preview->Print->trigger(); });
        QVERIFY2(nothing.contains("nenhuma entre a 5 e a 9"), qPrintable(nothing));
    }

    void withoutAPrinterPrintingSaysSoAndThePreviewStillWorks()
    {
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("this machine has a printer installed");
        const QString message = QString::fromUtf8("Não existe nenhuma impressora instalada.");
        QCOMPARE(answerBoxes([] { MainForm->FilePrintItem->trigger(); }), QStringList{message});
        QCOMPARE(answerBoxes([] { QTest::mouseClick(MainForm->BotaoPrn, Qt::LeftButton); }), QStringList{message});
        QVERIFY(!Relatorio->busy());
        PreviewWindow* preview = openPreview();
        QCOMPARE(preview->pageCount(), 3);
        QCOMPARE(preview->pages().front().sizeMm, QSizeF(210, 297));
    }

    void cancelAbandonsThePrintJob()
    {
        Relatorio->printerSettings().outputFileName = file("cancelled.pdf");
        MainForm->FilePrintItem->trigger();
        QWidget* progress = progressWindow();
        QVERIFY(progress && progress->isVisible() && Relatorio->busy());
        progress->findChild<QPushButton*>("CancelButton")->click();
        QVERIFY(!Relatorio->busy());
        QVERIFY(!progress->isVisible());
        QTest::qWait(50);
        QVERIFY(!QFile::exists(file("cancelled.pdf")));
    }

    void theMainWindowsPrinterSetupKeepsWhatTheUserChose()
    {
        int presetCopies = 0;
        for (const auto& [copies, accept] : {std::pair{3, true}, std::pair{5, false}}) {
            whenModal([&, copies = copies, accept = accept](QWidget* dialog) {
                auto* spin = child<QSpinBox>(dialog, "copies");
                presetCopies = spin->value();
                spin->setValue(copies);
                accept ? static_cast<QDialog*>(dialog)->accept() : static_cast<QDialog*>(dialog)->reject();
            });
            MainForm->FilePrintSetupItem->trigger();
        }
        QCOMPARE(presetCopies, 3); // the second time, it showed the report's choice
        QCOMPARE(Relatorio->printerSettings().copies, 3);
        const PdfWords words = print([] { MainForm->FilePrintItem->trigger(); }, "copies.pdf");
        QCOMPARE(words.pageCount(), 9);
    }

    void exportPdfWritesTheCurrentExamsReport()
    {
        whenModal([&](QWidget* w) { chooseFile(w, file("export")); });
        MainForm->ExportarPDF1->trigger();
        const PdfWords words(file("export.pdf"));
        QCOMPARE(words.pageCount(), 3);
        QCOMPARE(nameOnPage(words), QString("ANA MARIA COSTA"));
        QProcess info;
        info.start("pdfinfo", {file("export.pdf")});
        QVERIFY(info.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains("Title:           ANA MARIA COSTA - 10/03/2026"));
    }
};

VELUNOR_TEST(TestReportCommands)
#include "tst_commands.moc"
