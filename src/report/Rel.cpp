#include "report/Rel.h"

#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextDocument>

TRelatorio* Relatorio = nullptr;

using namespace reporting;

namespace {

QFont arial(double points, bool bold = false)
{
    QFont font = faceFont("Arial", pointsToPixels(points), bold);
    font.setPointSizeF(points);
    return font;
}

// A left-aligned caption or value on one line, its box as wide as its text.
TextElement line(const char* name, double left, double top, double width, double height, const QString& text,
                 double points = 10, std::function<QString(const QString&)> rule = {})
{
    TextElement e;
    e.name = name;
    e.box = QRectF(left, top, width, height);
    e.text = text;
    e.font = arial(points);
    e.autoSize = true;
    e.rule = std::move(rule);
    return e;
}

Band band(const char* name, BandKind kind, double height)
{
    Band b;
    b.name = name;
    b.kind = kind;
    b.height = height;
    return b;
}

// The patient's identification in two columns of three lines: name, birth
// date and age on the left; weight, height and exam date on the right, whose
// captions end where the values begin.
Band titleBand(const ExamSnapshot& exam)
{
    Band b = band("TitleBand1", BandKind::Title, 33.87);
    b.texts = {
        line("QRLabel3", 10.58, 14.29, 10.32, 4.50, "Nome:"),
        line("QRDBText1", 22.23, 14.29, 10.58, 4.50, exam.name),
        line("QRLabel4", 10.58, 19.84, 18.52, 4.50, "Data Nasc.:"),
        line("QRDBText2", 30.43, 19.84, 12.17, 4.50, exam.birthDate),
        line("QRLabel5", 10.58, 25.40, 9.53, 4.50, "Idade:"),
        line("QRDBText3", 22.23, 25.40, 8.47, 4.50, exam.age, 10, TRelatorio::QRDBText3Print),
        line("QRLabel6", 152.40, 14.29, 9.26, 4.50, "Peso:"),
        line("QRDBText4", 162.98, 14.29, 8.20, 4.50, exam.weight, 10, TRelatorio::QRDBText4Print),
        line("QRLabel7", 151.34, 19.84, 10.32, 4.50, "Altura:"),
        line("QRDBText5", 162.98, 19.84, 9.26, 4.50, exam.height, 10, TRelatorio::QRDBText5Print),
        line("QRLabel8", 136.53, 25.40, 25.14, 4.50, "Data de Exame:"),
        line("QRDBText6", 162.98, 25.40, 18.26, 4.50, exam.examDate),
    };
    // A solid black rule 1 pt thick along the band's bottom edge.
    const double onePoint = 25.4 / 72;
    b.rules.push_back(RuleElement{"TitleBand1Frame", 0, b.height - onePoint, 0, onePoint, Qt::black});
    return b;
}

// The exam type as a centred title (its first line only), and the report
// text, which grows and runs over pages.
Band detailBand(const ExamSnapshot& exam)
{
    Band b = band("DetailBand1", BandKind::Detail, 35.72);
    TextElement title;
    title.name = "QRDBText7";
    title.box = QRectF(10.58, 6.35, 169.60, 5.03);
    title.text = exam.examType;
    title.font = arial(10, true);
    title.alignment = Qt::AlignHCenter;
    title.wordWrap = true;
    b.texts.push_back(title);

    auto document = std::make_shared<QTextDocument>();
    document->setDefaultFont(arial(9));
    richtext::load(document.get(), exam.body);
    b.richText = RichTextElement{"QRDBRichText1", QRectF(10.58, 19.05, 169.60, 10.85), document, 5};
    return b;
}

// The signature block, centred about a line 131.4 mm from the band's left
// edge; the doctor's name wraps and grows the band.
Band childBand(const ExamSnapshot& exam)
{
    Band b = band("ChildBand1", BandKind::Child, 17.20);
    b.texts.push_back(line("QRLabel10", 103.45, 3.97, 55.83, 4.50, QString(30, '_')));
    b.texts.push_back(line("QRLabel11", 125.41, 8.20, 11.64, 3.97, QString::fromUtf8("o médico"), 8));
    TextElement doctor;
    doctor.name = "QRLabel9";
    doctor.box = QRectF(95.25, 12.17, 72.23, 4.23);
    doctor.text = "QRLabel9"; // never printed: the rule always replaces it
    doctor.font = arial(8);
    doctor.alignment = Qt::AlignHCenter;
    doctor.wordWrap = true;
    doctor.grows = true;
    doctor.rule = [exam](const QString&) { return TRelatorio::QRLabel9Print(exam); };
    b.texts.push_back(doctor);
    return b;
}

} // namespace

TRelatorio::TRelatorio(QObject* parent) : QObject(parent) { setObjectName("Relatorio"); }

TRelatorio::~TRelatorio()
{
    delete m_preview;
    if (m_job)
        m_job->cancel();
    if (Relatorio == this)
        Relatorio = nullptr;
}

QString TRelatorio::QRDBText4Print(const QString& text) { return text + " gr."; }
QString TRelatorio::QRDBText5Print(const QString& text) { return text + " cm"; }
QString TRelatorio::QRDBText3Print(const QString& text) { return text + " meses"; }
QString TRelatorio::QRLabel9Print(const ExamSnapshot& exam) { return exam.doctor; }

Report TRelatorio::layout(const ExamSnapshot& exam, QPageLayout::Orientation orientation)
{
    Report report;
    report.page.orientation = orientation;
    report.bands = {
        band("PageHeaderBand1", BandKind::PageHeader, 17.73),
        titleBand(exam),
        detailBand(exam),
        childBand(exam),
        band("PageFooterBand1", BandKind::PageFooter, 5.03),
    };
    return report;
}

std::vector<Page> TRelatorio::compose(const ExamSnapshot& exam, QPageLayout::Orientation orientation)
{
    return reporting::compose(layout(exam, orientation));
}

void TRelatorio::print() { print(ExamSnapshot::current()); }

void TRelatorio::preview() { preview(ExamSnapshot::current()); }

bool TRelatorio::exportPdf(const QString& fileName, QString* error)
{
    const ExamSnapshot exam = ExamSnapshot::current();
    return writePdf(compose(exam, m_settings.orientation), fileName, exam.title(), error);
}

void TRelatorio::print(const ExamSnapshot& exam)
{
    if (busy())
        return;
    QString error;
    // The report's job has no document name, as the report has no title.
    m_job = startPrinting(compose(exam, m_settings.orientation), m_settings, QString(), &error);
    if (!m_job) {
        Application::showMessage(error);
        return;
    }
    connect(m_job, &PrintJob::finished, this, [](bool, const QString& failure) {
        if (!failure.isEmpty())
            Application::showMessage(failure);
    });
}

void TRelatorio::preview(const ExamSnapshot& exam)
{
    if (busy())
        return;
    if (!m_preview) {
        m_preview = new PreviewWindow(&m_settings);
        // The whole screen also where no window manager maximises windows.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            m_preview->setGeometry(screen->availableGeometry());
        m_preview->showMaximized();
    }
    // The preview prints, and lays out again after a printer set-up, the
    // exam it shows, whatever the main window shows by then.
    m_preview->printComposed = [this, exam] { print(exam); };
    m_preview->printerSettingsChanged = [this, exam] {
        m_preview->showComposed(compose(exam, m_settings.orientation), exam.title(), true);
    };
    m_preview->showComposed(compose(exam, m_settings.orientation), exam.title());
    m_preview->raise();
    m_preview->activateWindow();
}
